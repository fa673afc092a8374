// What the browser tests share: the recorder simulator and the gateway as child processes on
// free loopback ports, headless Chromium from Debian driven by puppeteer-core, and waits that
// end on events (a picture on the canvas, a status text), bounded generously.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const env = (name) => {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set (the tests run from CTest)`);
  return value;
};
export const paths = {
  recorder: () => env('CAMVIEW_RECORDER'),
  gateway: () => env('CAMVIEW_GATEWAY'),
  reference: () => env('CAMVIEW_REFERENCE'),
  webRoot: () => env('CAMVIEW_WEB_ROOT'),
};
export const kWait = 30000; // the longest any single event may take on a loaded machine

// Starts a program that prints "listening on HOST:PORT" and resolves with its process and port.
function startListening(program, args) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    let output = '';
    const timer = setTimeout(() => reject(new Error(`${program} did not start: ${output}`)), kWait);
    child.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /listening on [0-9.]+:(\d+)/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve({ child, port: Number(match[1]) });
      }
    });
    child.stderr.on('data', (chunk) => { output += chunk; });
    child.on('exit', (code) => reject(new Error(`${program} ended (${code}): ${output}`)));
  });
}

export async function stopProcess(child) {
  if (!child || child.exitCode !== null) return;
  const ended = new Promise((resolve) => child.once('exit', resolve));
  child.kill('SIGTERM');
  await ended;
}

// `program`: another build of the simulator (a benchmark comparing two).
export function startRecorder(port = 0, extra = [], program = paths.recorder()) {
  return startListening(program, ['--port', String(port), '--quiet', ...extra]);
}

// `cameras`: the recorder's cameras on the wall ("1-4"); none: camera 0. `webRoot`: another
// build of the page's files (a benchmark comparing two).
export function startGateway(recorderPort, extra = [], cameras = '', webRoot = paths.webRoot()) {
  const recorder = `gate=127.0.0.1:${recorderPort}${cameras ? ':' + cameras : ''}`;
  return startListening(paths.gateway(), ['--listen', '127.0.0.1:0', '--recorder', recorder,
                                          '--web-root', webRoot, '--quiet', ...extra]);
}

export async function launchBrowser(language = 'en-US', extraArgs = []) {
  const profile = mkdtempSync(path.join(tmpdir(), 'camview-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--lang=${language}`, `--accept-lang=${language}`,
           ...extraArgs],
  });
  const close = async () => {
    await browser.close();
    rmSync(profile, { recursive: true, force: true });
  };
  return { browser, close };
}

export async function openPage(browser, url, width, height) {
  const page = await browser.newPage();
  page.on('pageerror', (error) => console.error('page error:', error.message));
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  await page.goto(url);
  return page;
}

// Waits until every viewer of the page (or the one selected) has shown `count` pictures
// since the call.
export function waitForPictures(page, count = 1, selector = 'camview-viewer') {
  return page.evaluate((selector, count, wait) => Promise.all([...document.querySelectorAll(selector)].map(
    (viewer) => new Promise((resolve, reject) => {
      const target = viewer.picturesShown + count;
      const timer = setTimeout(() => reject(new Error(`no picture in time (status: ${viewer.statusText})`)), wait);
      const check = () => {
        if (viewer.picturesShown >= target && viewer.showingPicture) {
          clearTimeout(timer);
          viewer.removeEventListener('camview-picture', check);
          resolve(viewer.picturesShown);
        }
      };
      viewer.addEventListener('camview-picture', check);
    }))), selector, count, kWait);
}

// Waits until the viewer shows the status screen with `text`.
export function waitForStatus(page, text, selector = 'camview-viewer') {
  return page.evaluate((selector, text, wait) => new Promise((resolve, reject) => {
    const viewer = document.querySelector(selector);
    const timer = setTimeout(() => reject(new Error(`status "${text}" not shown; it is "${viewer.statusText}"`)), wait);
    const check = () => {
      if (viewer.statusText === text && !viewer.showingPicture) {
        clearTimeout(timer);
        viewer.removeEventListener('camview-status', check);
        resolve(text);
      }
    };
    viewer.addEventListener('camview-status', check);
    check();
  }), selector, text, kWait);
}

// The canvas and the picture it shows, read in one go in the page.
export async function snapshot(page, selector = 'camview-viewer') {
  const shot = await page.evaluate((selector) => {
    const s = document.querySelector(selector).snapshot();
    const base64 = (bytes) => {
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return btoa(text);
    };
    return { ...s, rgba: base64(s.rgba), header: base64(s.header), data: base64(s.data) };
  }, selector);
  for (const key of ['rgba', 'header', 'data']) shot[key] = Buffer.from(shot[key], 'base64');
  return shot;
}

// What the Windows hosts paint for the snapshot's picture at the canvas's size; without a
// picture, their status screen while connecting.
export function referencePixels(shot, language = 'en', withPicture = true) {
  const dir = mkdtempSync(path.join(tmpdir(), 'camview-reference-'));
  try {
    const picture = path.join(dir, 'picture.bin');
    const out = path.join(dir, 'window.rgba');
    writeFileSync(picture, Buffer.concat([shot.header, shot.data]));
    execFileSync(paths.reference(), [...(withPicture ? ['--picture', picture] : ['--no-picture']),
                                     '--size', `${shot.width}x${shot.height}`, '--language', language, '--out', out]);
    return readFileSync(out);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// How many pixels differ, and where the first one is.
export function comparePixels(actual, expected, width) {
  let differing = 0, first = null;
  for (let i = 0; i < expected.length; i += 4) {
    if (actual[i] !== expected[i] || actual[i + 1] !== expected[i + 1] || actual[i + 2] !== expected[i + 2]) {
      if (differing++ === 0) first = { x: (i / 4) % width, y: Math.floor(i / 4 / width) };
    }
  }
  return { differing, first };
}
