// Time from page load to the first picture on the canvas, in headless Chromium (Debian's):
// the recorder simulator and the gateway run on loopback; each run opens the page afresh in
// a new browser context (nothing cached) and reads, in the page, the time of the first
// 'camview-picture' event since navigation started. Then it times, in the page, the removal
// of that viewer (showing pictures) and of one added a moment before (still connecting):
// removing an element stops and frees its viewer. Prints each run and the medians, and where
// the time to the first picture went: the page's marks (camview-viewer.js and the page's
// sockets set them) and the fetches of the module's files, each since navigation start.
// With --warm, each run's camera has shown a picture (in a page of its own) before the timed
// page opens, and the recorder serves a loop of two pictures encoded when first asked: the
// timed page then waits for no encoding, as with a recorder that has its pictures ready, and
// the figure is the page's and the gateway's alone. Without it, a camera's first picture
// includes the recorder simulator encoding it.
//   CAMVIEW_RECORDER=... CAMVIEW_GATEWAY=... CAMVIEW_WEB_ROOT=... node bench/web/first-picture.mjs [runs] [--warm]
import { startRecorder, startGateway, stopProcess, launchBrowser } from '../../tests/web/support.mjs';

const warm = process.argv.includes('--warm');
const runs = Number(process.argv.slice(2).find((arg) => !arg.startsWith('--')) || 7);
const recorder = await startRecorder(0, warm ? ['--loop', '2'] : []);
const gateway = await startGateway(recorder.port);
const browser = await launchBrowser();
const times = [], removeShowing = [], removeConnecting = [];
const steps = new Map(); // step name -> ms since navigation start, one per run
const recordStep = (name, ms) => { if (!steps.has(name)) steps.set(name, []); steps.get(name).push(ms); };
try {
  for (let run = 0; run < runs; run++) {
    if (warm) {
      const context = await browser.browser.createBrowserContext();
      const page = await context.newPage();
      await page.evaluateOnNewDocument(() => {
        window.firstPicture = new Promise((resolve) => document.addEventListener('camview-picture', resolve,
          { capture: true, once: true }));
      });
      await page.goto(`http://127.0.0.1:${gateway.port}/?recorder=gate&id=${run + 1}`);
      await page.evaluate(() => window.firstPicture);
      await context.close();
    }
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
    const timeline = await page.evaluate(() => [
      ...performance.getEntriesByType('resource').filter((e) => /camview-/.test(e.name)).flatMap((e) => [
        { name: `${e.name.replace(/.*\//, '')} requested`, at: e.startTime },
        { name: `${e.name.replace(/.*\//, '')} received`, at: e.responseEnd }]),
      ...performance.getEntriesByType('mark').filter((e) => e.name.startsWith('camview-'))
        .map((e) => ({ name: e.name.slice('camview-'.length), at: e.startTime }))]);
    for (const step of timeline) recordStep(step.name, step.at);
    const removal = await page.evaluate(async (id) => {
      const timed = (viewer) => {
        const start = performance.now();
        viewer.remove();
        return performance.now() - start;
      };
      const added = document.createElement('camview-viewer');
      added.setAttribute('recorder', 'gate');
      added.setAttribute('id', String(id));
      document.body.appendChild(added);
      await new Promise((resolve) => setTimeout(resolve, 0)); // its viewer has started
      return { connecting: timed(added), showing: timed(document.querySelector('camview-viewer')) };
    }, run + 100);
    removeShowing.push(removal.showing);
    removeConnecting.push(removal.connecting);
    console.log(`run ${run + 1}: first picture ${ms.toFixed(0)} ms after navigation start; removal ` +
                `${removal.showing.toFixed(1)} ms showing, ${removal.connecting.toFixed(1)} ms connecting`);
    await context.close();
  }
  const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
  console.log('where the time goes (median ms since navigation start, in the order of the medians):');
  const medians = [...steps].map(([name, values]) => [name, median([...values]), values.length]);
  for (const [name, value, count] of medians.sort((a, b) => a[1] - b[1]))
    console.log(`  ${value.toFixed(0).padStart(5)}  ${name}${count < runs ? ` (${count} of ${runs} runs)` : ''}`);
  console.log(`median of ${runs}${warm ? ', cameras warm' : ''}: first picture ${median(times).toFixed(0)} ms; removal ` +
              `${median(removeShowing).toFixed(1)} ms showing, ${median(removeConnecting).toFixed(1)} ms connecting`);
} finally {
  await browser.close();
  await stopProcess(gateway.child);
  await stopProcess(recorder.child);
}
