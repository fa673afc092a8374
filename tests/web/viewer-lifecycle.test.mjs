// A viewer element's life in a page: a camera the gateway refuses is asked for again only
// after the viewer's growing pauses, never in a storm; viewers removed while connecting,
// waiting to connect again or showing pictures go at once, and the page goes on working.
import { test, after, before } from 'node:test';
import assert from 'node:assert/strict';
import { startRecorder, startGateway, stopProcess, launchBrowser, waitForPictures, kWait } from './support.mjs';

let recorder, gateway, browser;
before(async () => {
  recorder = await startRecorder(0, ['--level', '2']);
  gateway = await startGateway(recorder.port);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await stopProcess(gateway?.child);
  await stopProcess(recorder?.child);
});

// A page of one viewer whose WebSockets are logged (address and time) as the viewer opens them.
async function openLoggedPage(id) {
  const page = await browser.browser.newPage();
  page.on('pageerror', (error) => console.error('page error:', error.message));
  await page.setViewport({ width: 720, height: 576 });
  await page.evaluateOnNewDocument(() => {
    const Native = WebSocket;
    window.socketsOpened = [];
    window.WebSocket = function (url, protocols) {
      window.socketsOpened.push({ url, at: performance.now() });
      return new Native(url, protocols);
    };
    window.WebSocket.prototype = Native.prototype;
  });
  await page.goto(`http://127.0.0.1:${gateway.port}/?recorder=gate&id=${id}&size=180x144`);
  return page;
}

// Adds a viewer element to the page.
function addViewer(page, recorderName, id) {
  return page.evaluate((recorderName, id) => {
    const viewer = document.createElement('camview-viewer');
    viewer.setAttribute('recorder', recorderName);
    viewer.setAttribute('id', String(id));
    viewer.className = 'added';
    viewer.style.cssText = 'width:180px;height:144px';
    document.body.appendChild(viewer);
  }, recorderName, id);
}

test('a refused camera is asked for again after growing pauses', async () => {
  const page = await openLoggedPage(1);
  await addViewer(page, 'nosuch', 1);
  const times = await page.evaluate((wait) => new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('fewer than four connects to the refused camera')), wait);
    const look = () => {
      const refused = window.socketsOpened.filter((socket) => socket.url.endsWith('/camera/nosuch/1'));
      if (refused.length < 4) return setTimeout(look, 50);
      clearTimeout(timer);
      resolve(refused.slice(0, 4).map((socket) => socket.at));
    };
    look();
  }), kWait);
  const pauses = times.slice(1).map((at, i) => at - times[i]);
  // Lower bounds only: a loaded machine makes pauses longer, never shorter.
  assert.ok(pauses.every((pause) => pause >= 400), `pauses between connects: ${pauses.map(Math.round)} ms`);
  assert.ok(pauses[2] >= 1500, `the pauses grow: ${pauses.map(Math.round)} ms`);
  await page.close();
});

test('viewers removed in any state go at once, and the page goes on working', async (t) => {
  const page = await openLoggedPage(2);
  await waitForPictures(page, 1);
  await addViewer(page, 'nosuch', 2); // connecting, then pausing before the next attempt
  await addViewer(page, 'gate', 3);
  await waitForPictures(page, 1, 'camview-viewer.added[recorder="gate"]');
  // Each removal stops the viewer's threads; how long it took is reported, not judged here
  // (bench/web/first-picture.mjs measures it).
  const removals = await page.evaluate(async () => {
    const took = {};
    const remove = (name, viewer) => {
      const start = performance.now();
      viewer.remove();
      took[name] = performance.now() - start;
    };
    const fresh = document.createElement('camview-viewer');
    fresh.setAttribute('recorder', 'gate');
    fresh.setAttribute('id', '4');
    document.body.appendChild(fresh);
    await new Promise((resolve) => setTimeout(resolve, 0)); // its viewer has started connecting
    remove('connecting', fresh);
    remove('waiting for a refused camera', document.querySelector('camview-viewer[recorder="nosuch"]'));
    remove('showing pictures', document.querySelector('camview-viewer.added[recorder="gate"]'));
    remove('the page\'s own', document.querySelector('camview-viewer'));
    return took;
  });
  for (const [state, ms] of Object.entries(removals)) t.diagnostic(`removal ${state}: ${ms.toFixed(1)} ms`);
  assert.equal(await page.evaluate(() => document.querySelectorAll('camview-viewer').length), 0);
  // Add and remove a few more, then a viewer that stays shows pictures.
  for (let i = 0; i < 8; i++) {
    await addViewer(page, 'gate', 5);
    await page.evaluate(() => document.querySelector('camview-viewer').remove());
  }
  await addViewer(page, 'gate', 6);
  await waitForPictures(page, 2);
  await page.close();
});
