// A recorder that goes away and comes back: the page shows the status screen (in the
// browser's language, here German) and then pictures again, without a reload.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { startRecorder, startGateway, stopProcess, launchBrowser, openPage, waitForPictures, waitForStatus,
         snapshot } from './support.mjs';

let recorder, gateway, browser;
after(async () => {
  await browser?.close();
  await stopProcess(gateway?.child);
  await stopProcess(recorder?.child);
});

test('status screens in German, then pictures again after the recorder returns', async () => {
  // Learn a free port, then leave it empty: the page opens before the recorder runs.
  recorder = await startRecorder();
  const port = recorder.port;
  await stopProcess(recorder.child);
  gateway = await startGateway(port);
  browser = await launchBrowser('de-DE');
  const page = await openPage(browser.browser, `http://127.0.0.1:${gateway.port}/?recorder=gate&id=2&size=360x288`,
                              360, 288);
  await waitForStatus(page, 'Verbindungsaufbau...');

  recorder = await startRecorder(port);
  await waitForPictures(page, 2);

  await stopProcess(recorder.child);
  // A picture received just before the loss may still be put on screen after the status;
  // the status screen comes back with the next failed connect.
  let shot;
  for (let attempt = 0; attempt < 5 && !(shot && !shot.showingPicture); ++attempt) {
    await waitForStatus(page, 'Die Socketverbindung wurde wegen eines Fehlers beendet!');
    shot = await snapshot(page);
  }
  assert.equal(shot.showingPicture, false);
  // The status screen's blue (red 80, green 80, blue 220) fills the window beside the text.
  const corner = (shot.width * (shot.height - 1) + shot.width - 1) * 4;
  assert.deepEqual([...shot.rgba.subarray(corner, corner + 3)], [80, 80, 220]);

  recorder = await startRecorder(port);
  await waitForPictures(page, 2);
  await page.close();
});
