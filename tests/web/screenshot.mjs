// A headless Chromium screenshot of a camview page, taken once every viewer on it shows
// pictures (make demo uses it when there is no display).
//   node tests/web/screenshot.mjs URL WIDTHxHEIGHT OUT.png
import { launchBrowser, openPage, waitForPictures } from './support.mjs';

const [url, size, out] = process.argv.slice(2);
const [width, height] = (size || '').split('x').map(Number);
if (!url || !width || !height || !out) {
  console.error('usage: node tests/web/screenshot.mjs URL WIDTHxHEIGHT OUT.png');
  process.exit(2);
}
const browser = await launchBrowser();
try {
  const page = await openPage(browser.browser, url, width, height);
  await waitForPictures(page, 3);
  await page.screenshot({ path: out });
  console.log(`screenshot: wrote ${out}`);
} finally {
  await browser.close();
}
