// Time from page load to the first picture on the canvas, in headless Chromium (Debian's):
// the recorder simulator and the gateway run on loopback; each run opens the page afresh in
// a new browser context (nothing cached) and reads, in the page, the time of the first
// 'camview-picture' event since navigation started. Then it times, in the page, the removal
// of that viewer (showing pictures) and of one added a moment before (still connecting):
// removing an element stops and frees its viewer. Prints each run and the medians, and where
// the time to the first picture went: the page's marks (camview-viewer.js and the page's
// sockets set them) and the fetches of the module's files, each since navigation start.
// Run k shows camera k, which no page has shown before: the simulator keeps the latest
// picture of its cameras 1..16 ready, as a recorder does, so the figure includes no encoding
// unless the simulator is told --cameras 0 (or the build has no ready cameras).
// With --warm, each run's camera has shown a picture (in a page of its own) before the timed
// page opens, and the recorder serves a loop of two pictures encoded when first asked: the
// gateway still holds the camera's recorder connection, and the figure is the page's alone.
// With CAMVIEW_COMPARE_RECORDER and CAMVIEW_COMPARE_WEB_ROOT set, a second simulator and
// gateway serve those builds, and every run opens the page on both, the order alternating:
// old and new measured in one session under the same load, with the median of the paired
// differences.
//   CAMVIEW_RECORDER=... CAMVIEW_GATEWAY=... CAMVIEW_WEB_ROOT=... node bench/web/first-picture.mjs [runs] [--warm]
import { startRecorder, startGateway, stopProcess, launchBrowser, paths } from '../../tests/web/support.mjs';

const warm = process.argv.includes('--warm');
const runs = Number(process.argv.slice(2).find((arg) => !arg.startsWith('--')) || 7);
const recorderArgs = warm ? ['--loop', '2'] : [];
const builds = [{ name: 'this build', recorder: paths.recorder(), webRoot: paths.webRoot() }];
if (process.env.CAMVIEW_COMPARE_RECORDER || process.env.CAMVIEW_COMPARE_WEB_ROOT)
  builds.push({ name: 'compared build', recorder: process.env.CAMVIEW_COMPARE_RECORDER || paths.recorder(),
                webRoot: process.env.CAMVIEW_COMPARE_WEB_ROOT || paths.webRoot() });
for (const build of builds) {
  build.recorderProcess = await startRecorder(0, recorderArgs, build.recorder);
  build.gateway = await startGateway(build.recorderProcess.port, [], '', build.webRoot);
  build.times = [];
  build.removeShowing = [];
  build.removeConnecting = [];
  build.steps = new Map(); // step name -> ms since navigation start, one per run
}
const browser = await launchBrowser();
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function timedRun(build, id) {
  const url = `http://127.0.0.1:${build.gateway.port}/?recorder=gate&id=${id}`;
  if (warm) {
    const context = await browser.browser.createBrowserContext();
    const page = await context.newPage();
    await page.evaluateOnNewDocument(() => {
      window.firstPicture = new Promise((resolve) => document.addEventListener('camview-picture', resolve,
        { capture: true, once: true }));
    });
    await page.goto(url);
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
  await page.goto(url);
  const ms = await page.evaluate(() => window.firstPicture);
  build.times.push(ms);
  const timeline = await page.evaluate(() => [
    ...performance.getEntriesByType('resource').filter((e) => /camview-/.test(e.name)).flatMap((e) => [
      { name: `${e.name.replace(/.*\//, '')} requested`, at: e.startTime },
      { name: `${e.name.replace(/.*\//, '')} received`, at: e.responseEnd }]),
    ...performance.getEntriesByType('mark').filter((e) => e.name.startsWith('camview-'))
      .map((e) => ({ name: e.name.slice('camview-'.length), at: e.startTime }))]);
  for (const step of timeline) {
    if (!build.steps.has(step.name)) build.steps.set(step.name, []);
    build.steps.get(step.name).push(step.at);
  }
  const removal = await page.evaluate(async (addedId) => {
    const timed = (viewer) => {
      const start = performance.now();
      viewer.remove();
      return performance.now() - start;
    };
    const added = document.createElement('camview-viewer');
    added.setAttribute('recorder', 'gate');
    added.setAttribute('id', String(addedId));
    document.body.appendChild(added);
    await new Promise((resolve) => setTimeout(resolve, 0)); // its viewer has started
    return { connecting: timed(added), showing: timed(document.querySelector('camview-viewer')) };
  }, id + 99);
  build.removeShowing.push(removal.showing);
  build.removeConnecting.push(removal.connecting);
  await context.close();
  return ms;
}

try {
  const differences = [];
  for (let run = 0; run < runs; run++) {
    const order = run % 2 ? [...builds].reverse() : builds;
    const line = [];
    for (const build of order) {
      const ms = await timedRun(build, run + 1);
      line.push(`${build.name} ${ms.toFixed(0)} ms`);
    }
    if (builds.length > 1) differences.push(builds[0].times[run] - builds[1].times[run]);
    console.log(`run ${run + 1}: first picture after navigation start: ${line.join(', ')}`);
  }
  for (const build of builds) {
    console.log(`${build.name}: where the time goes (median ms since navigation start, in the order of the medians):`);
    const medians = [...build.steps].map(([name, values]) => [name, median(values), values.length]);
    for (const [name, value, count] of medians.sort((a, b) => a[1] - b[1]))
      console.log(`  ${value.toFixed(0).padStart(5)}  ${name}${count < runs ? ` (${count} of ${runs} runs)` : ''}`);
    console.log(`${build.name}, median of ${runs}${warm ? ', cameras warm' : ''}: first picture ` +
                `${median(build.times).toFixed(0)} ms; removal ${median(build.removeShowing).toFixed(1)} ms showing, ` +
                `${median(build.removeConnecting).toFixed(1)} ms connecting`);
  }
  if (differences.length)
    console.log(`median of the paired differences (this build - compared build): ${median(differences).toFixed(0)} ms`);
} finally {
  await browser.close();
  for (const build of builds) {
    await stopProcess(build.gateway.child);
    await stopProcess(build.recorderProcess.child);
  }
}
