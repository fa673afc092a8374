// Time from page load to the first picture on the canvas, in headless Chromium (Debian's):
// the recorder simulator and the gateway run on loopback; each run opens the page afresh in
// a new browser context (nothing cached) and reads, in the page, the time of the first
// 'camview-picture' event since navigation started. Prints each run and the median.
//   CAMVIEW_RECORDER=... CAMVIEW_GATEWAY=... CAMVIEW_WEB_ROOT=... node bench/web/first-picture.mjs [runs]
import { startRecorder, startGateway, stopProcess, launchBrowser } from '../../tests/web/support.mjs';

const runs = Number(process.argv[2] || 7);
const recorder = await startRecorder();
const gateway = await startGateway(recorder.port);
const browser = await launchBrowser();
const times = [];
try {
  for (let run = 0; run < runs; run++) {
    const context = await browser.browser.createBrowserContext();
    const page = await context.newPage();
    await page.setViewport({ width: 720, height: 576 });
    // Registered before any script of the page runs, so no picture event can be missed.
    await page.evaluateOnNewDocument(() => {
      window.firstPicture = new Promise((resolve) => document.addEventListener('camview-picture',
        () => resolve(performance.now()), { capture: true, once: true }));
    });
    await page.goto(`http://127.0.0.1:${gateway.port}/?recorder=gate&id=${run + 1}`);
    const ms = await page.evaluate(() => window.firstPicture);
    times.push(ms);
    console.log(`run ${run + 1}: first picture ${ms.toFixed(0)} ms after navigation start`);
    await context.close();
  }
  times.sort((a, b) => a - b);
  console.log(`median of ${runs}: ${times[Math.floor(runs / 2)].toFixed(0)} ms`);
} finally {
  await browser.close();
  await stopProcess(gateway.child);
  await stopProcess(recorder.child);
}
