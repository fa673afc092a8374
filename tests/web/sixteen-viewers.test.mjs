// A page with sixteen viewers: every one of them shows pictures of its own camera. The
// recorder sends a quarter of the size (level 2), as one would for viewers this small, so the
// test does not wait for the simulator to encode sixteen full-size streams.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { startRecorder, startGateway, stopProcess, launchBrowser, openPage, waitForPictures } from './support.mjs';

let recorder, gateway, browser;
after(async () => {
  await browser?.close();
  await stopProcess(gateway?.child);
  await stopProcess(recorder?.child);
});

test('sixteen viewers on one page all show pictures', async () => {
  recorder = await startRecorder(0, ['--level', '2', '--fps', '10']);
  gateway = await startGateway(recorder.port);
  browser = await launchBrowser();
  const ids = Array.from({ length: 16 }, (_, i) => i + 1).join(',');
  const page = await openPage(browser.browser,
                              `http://127.0.0.1:${gateway.port}/?recorder=gate&id=${ids}&size=180x144`, 720, 576);
  const shown = await waitForPictures(page, 1);
  assert.equal(shown.length, 16);
  // Each viewer shows its own camera: the picture header names the connection.
  const cameras = await page.evaluate(() => [...document.querySelectorAll('camview-viewer')].map((viewer) => {
    const header = viewer.snapshot().header;
    let text = '';
    for (let i = 52; i < 84 && header[i] !== 0; i++) text += String.fromCharCode(header[i]);
    return text;
  }));
  assert.equal(new Set(cameras).size, 16, `camera texts: ${cameras.join(' | ')}`);
  await page.close();
});
