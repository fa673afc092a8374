// The camera wall at /: a tile with pictures for every configured camera, a click enlarges
// that camera, the arrow keys move between tiles (by where they are on the screen), Esc goes
// back, and a tile's copied snapshot and MJPEG links work outside the browser, with the
// page's signed-link token when the gateway checks links.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { paths, startRecorder, startGateway, stopProcess, launchBrowser, openPage, waitForPictures, kWait }
  from './support.mjs';

let recorder, browser;
const gateways = [];
const scratch = mkdtempSync(path.join(tmpdir(), 'camview-wall-'));
after(async () => {
  await browser?.close();
  for (const gateway of gateways) await stopProcess(gateway.child);
  await stopProcess(recorder?.child);
  rmSync(scratch, { recursive: true, force: true });
});

async function gatewayFor(cameras, extra = []) {
  const gateway = await startGateway(recorder.port, extra, cameras);
  gateways.push(gateway);
  const origin = `http://127.0.0.1:${gateway.port}`;
  await browser.browser.defaultBrowserContext().overridePermissions(origin, ['clipboard-read', 'clipboard-write',
                                                                              'clipboard-sanitized-write']);
  return origin;
}

// Each tile's camera as the page shows it: its caption, its status and the camera text of
// the picture header its viewer shows.
function tiles(page) {
  return page.evaluate(() => [...document.querySelectorAll('.tile')].map((tile) => {
    const header = tile.querySelector('camview-viewer').snapshot().header;
    let camera = '';
    for (let i = 52; i < 84 && header[i] !== 0; i++) camera += String.fromCharCode(header[i]);
    return { name: tile.querySelector('.name').textContent, status: tile.querySelector('.status').textContent, camera,
             selected: tile.classList.contains('selected'), enlarged: tile.classList.contains('enlarged') };
  }));
}

const selectedName = (page) => page.$eval('.tile.selected .name', (name) => name.textContent);

// Copies a tile's link through its menu and returns what reached the clipboard.
async function copyLink(page, tileIndex, kind) {
  const tile = `.tile:nth-child(${tileIndex})`;
  if (!(await page.$eval(`${tile} details`, (menu) => menu.open))) await page.click(`${tile} summary`);
  await page.click(`${tile} button[data-copy="${kind}"]`);
  await page.waitForFunction((selector) => document.querySelector(selector).textContent === 'copied', { timeout: kWait },
                             `${tile} button[data-copy="${kind}"]`);
  return page.evaluate(() => navigator.clipboard.readText());
}

// The first picture of an MJPEG stream: its part header names a JPEG, whose bytes follow.
async function firstStreamPicture(url) {
  const response = await fetch(url);
  assert.equal(response.status, 200);
  assert.match(response.headers.get('content-type'), /^multipart\/x-mixed-replace/);
  const reader = response.body.getReader();
  let bytes = Buffer.alloc(0);
  for (;;) {
    const { done, value } = await reader.read();
    if (done) throw new Error('the stream ended without a picture');
    bytes = Buffer.concat([bytes, value]);
    const start = bytes.indexOf('\r\n\r\n', bytes.indexOf('Content-Type: image/jpeg'));
    if (start > 0 && bytes.length >= start + 4 + 3) {
      await reader.cancel();
      return bytes.subarray(start + 4);
    }
  }
}

test('the wall shows each camera, enlarges, moves, and copies working links', async () => {
  recorder = await startRecorder(0, ['--level', '2', '--fps', '10']);
  browser = await launchBrowser();
  const origin = await gatewayFor('1-4');
  // Two tiles to a row at this width: gate 1, gate 2 above gate 3, gate 4.
  const page = await openPage(browser.browser, `${origin}/`, 700, 900);
  assert.equal((await waitForPictures(page, 1, '.tile camview-viewer')).length, 4);
  const wall = await tiles(page);
  assert.deepEqual(wall.map((tile) => tile.name), ['gate 1', 'gate 2', 'gate 3', 'gate 4']);
  assert.deepEqual(wall.map((tile) => tile.camera), ['Camera 1', 'Camera 2', 'Camera 3', 'Camera 4']);
  assert.deepEqual(wall.map((tile) => tile.status), ['live', 'live', 'live', 'live']);

  // A click enlarges that camera, which then decodes at its new size.
  await page.click('.tile:nth-child(3) camview-viewer');
  const enlarged = '.tile.enlarged camview-viewer';
  await waitForPictures(page, 1, enlarged);
  const big = await page.$eval(enlarged, (viewer) => {
    const shot = viewer.snapshot();
    return { id: viewer.id, width: shot.width, pageWidth: document.documentElement.clientWidth };
  });
  assert.equal(big.id, '3');
  assert.ok(big.width >= big.pageWidth - 10, `enlarged to ${big.width} of ${big.pageWidth}`);

  // Over the enlarged camera the arrows step to the next and previous ones; Esc goes back.
  await page.keyboard.press('ArrowRight');
  assert.equal(await page.$eval(enlarged, (viewer) => viewer.id), '4');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('Escape');
  assert.equal(await page.$(enlarged), null);
  assert.equal(await selectedName(page), 'gate 3');
  // On the wall, up and down go by rows.
  const moves = [['ArrowUp', 'gate 1'], ['ArrowRight', 'gate 2'], ['ArrowDown', 'gate 4'], ['ArrowLeft', 'gate 3']];
  for (const [key, name] of moves) {
    await page.keyboard.press(key);
    assert.equal(await selectedName(page), name, key);
  }
  // F: the page full screen with the selected camera enlarged in it; Esc leaves both.
  await page.keyboard.press('f');
  await page.waitForFunction(() => document.fullscreenElement &&
                             document.querySelector('.tile.enlarged .name')?.textContent === 'gate 3', { timeout: kWait });
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.fullscreenElement && !document.querySelector('.tile.enlarged'),
                             { timeout: kWait });

  // The copied links work outside the browser.
  const snapshotUrl = await copyLink(page, 2, 'snapshot');
  assert.equal(snapshotUrl, `${origin}/camera/gate/2.jpg`);
  const jpeg = execFileSync('curl', ['-sf', '--max-time', String(kWait / 1000), snapshotUrl]);
  assert.deepEqual([...jpeg.subarray(0, 3)], [0xff, 0xd8, 0xff]);
  const streamUrl = await copyLink(page, 2, 'stream');
  assert.equal(streamUrl, `${origin}/camera/gate/2.mjpg`);
  assert.deepEqual([...(await firstStreamPicture(streamUrl)).subarray(0, 3)], [0xff, 0xd8, 0xff]);
  await page.close();
});

test('with signed links the wall shows only the allowed cameras, and their links carry the token', async () => {
  const secrets = path.join(scratch, 'secrets');
  writeFileSync(secrets, 'wall-test-secret-0123456789abcdef\n');
  const origin = await gatewayFor('1-4', ['--secret-file', secrets]);
  const signed = execFileSync(paths.gateway(), ['sign', '--secret-file', secrets, '--recorder', 'gate', '--id', '2,4,9',
                                                '--ttl', '1h']).toString();
  const token = new URLSearchParams(signed.trim().split('?')[1]).get('token');
  const page = await openPage(browser.browser, `${origin}/?token=${encodeURIComponent(token)}`, 700, 900);
  assert.equal((await waitForPictures(page, 1, '.tile camview-viewer')).length, 2);
  assert.deepEqual((await tiles(page)).map((tile) => tile.camera), ['Camera 2', 'Camera 4']);
  const snapshotUrl = await copyLink(page, 2, 'snapshot');
  const copied = new URL(snapshotUrl);
  assert.equal(copied.origin + copied.pathname, `${origin}/camera/gate/4.jpg`);
  assert.equal(copied.searchParams.get('token'), token);
  const jpeg = execFileSync('curl', ['-sf', '--max-time', String(kWait / 1000), snapshotUrl]);
  assert.deepEqual([...jpeg.subarray(0, 3)], [0xff, 0xd8, 0xff]);
  // Without the token neither the wall nor the link is served.
  const status = (url) => execFileSync('curl', ['-s', '-o', '/dev/null', '-w', '%{http_code}', url]).toString();
  assert.equal(status(`${origin}/`), '401');
  assert.equal(status(`${origin}/camera/gate/4.jpg`), '401');
  await page.close();
});
