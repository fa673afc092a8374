// The page paints what the Windows hosts paint: the canvas of a <camview-viewer decode="full">,
// fed by the gateway from the recorder simulator, equals the native viewer's painting of the
// same picture at the same window size, pixel for pixel; and so does its status screen. A
// small element decodes at its own size unless told decode="full".
import { test, after, before } from 'node:test';
import assert from 'node:assert/strict';
import { startRecorder, startGateway, stopProcess, launchBrowser, openPage, waitForPictures, waitForStatus,
         snapshot, referencePixels, comparePixels } from './support.mjs';

let recorder, gateway, browser;
before(async () => {
  recorder = await startRecorder();
  gateway = await startGateway(recorder.port);
  browser = await launchBrowser('en-US');
});
after(async () => {
  await browser?.close();
  await stopProcess(gateway?.child);
  await stopProcess(recorder?.child);
});

for (const [width, height] of [[720, 576], [350, 261]]) {
  test(`a picture at ${width} x ${height} equals the native painting`, async () => {
    const page = await openPage(browser.browser,
                                `http://127.0.0.1:${gateway.port}/?recorder=gate&id=3&size=${width}x${height}`,
                                width, height);
    // Set after the element has started: the pictures from then on are decoded in full.
    await page.evaluate(() => document.querySelector('camview-viewer').setAttribute('decode', 'full'));
    await waitForPictures(page, 2);
    const shot = await snapshot(page);
    assert.equal(shot.showingPicture, true);
    assert.deepEqual([shot.width, shot.height, shot.decodedWidth, shot.decodedHeight], [width, height, width, height]);
    const expected = referencePixels(shot, 'en');
    const { differing, first } = comparePixels(shot.rgba, expected, width);
    assert.equal(differing, 0, `${differing} pixels differ, the first at ${JSON.stringify(first)}`);
    await page.close();
  });
}

test('a grid tile decodes at its own size by default', async () => {
  const page = await openPage(browser.browser, `http://127.0.0.1:${gateway.port}/?recorder=gate&id=3&size=180x144`,
                              720, 576);
  await waitForPictures(page, 2);
  const shot = await snapshot(page);
  assert.equal(shot.showingPicture, true);
  const { differing } = comparePixels(shot.rgba, referencePixels(shot, 'en'), shot.width);
  assert.ok(differing > 0, 'the tile shows the full decode scaled down');
  await page.close();
});

test('the status screen equals the native one', async () => {
  // A recorder name the gateway relays, whose recorder is not there: the viewer connects.
  const silent = await startGateway(1);
  try {
    const page = await openPage(browser.browser, `http://127.0.0.1:${silent.port}/?recorder=gate&id=1&size=400x300`,
                                400, 300);
    await waitForStatus(page, 'Connecting...');
    const shot = await snapshot(page);
    const { differing, first } = comparePixels(shot.rgba, referencePixels(shot, 'en', false), shot.width);
    assert.equal(differing, 0, `${differing} pixels differ, the first at ${JSON.stringify(first)}`);
    await page.close();
  } finally {
    await stopProcess(silent.child);
  }
});
