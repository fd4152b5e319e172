// By hand: the web build's time to first frame and its frame rate in the heaviest formation, in
// headless Chromium (SwiftShader) at 1280 x 720. Compare with build/linux/bench/render_bench at
// the same size on the same machine (docs/web.md).
//   NODE_PATH=tests/web/node_modules node bench/web_bench.js build/web/app
'use strict';
const path = require('path');
const b = require('../tests/web/browser.js');

const webDir = process.argv[2] || 'build/web/app';
const HEAVY_FROM = 97;  // beats 163-164 and the seconds after: lattice and ring, 1861 cubes
const MEASURE_MS = 8000;

b.main(async (keep) => {
  const browser = keep(await b.launch({ autoplay: false }));
  const server = await b.serve(path.resolve(webDir));
  try {
    // Time to first frame: the page opened, the button clicked as soon as it is offered.
    let page = await b.openPage(browser);
    const opened = Date.now();
    await page.goto(server.url);
    await b.waitForState(page, ['ready'], 60000);
    const ready = Date.now();
    await page.click('#start');
    await b.waitForState(page, ['playing'], 60000);
    const playing = Date.now();
    console.log(`page to start button: ${ready - opened} ms; click to first frame: ` +
                `${playing - ready} ms; total ${playing - opened} ms`);
    await page.close();

    // A still: the page to the first (and only) frame, no click.
    page = await b.openPage(browser);
    const stillOpened = Date.now();
    await page.goto(`${server.url}?still=${HEAVY_FROM}`);
    await b.waitForState(page, ['still'], 60000);
    console.log(`?still: page to first frame ${Date.now() - stillOpened} ms`);
    await page.close();

    // Frame rate: animation frames counted while the heaviest part plays.
    page = await b.openPage(browser);
    await page.goto(`${server.url}?start=${HEAVY_FROM}&mute`);
    await b.waitForState(page, ['ready'], 60000);
    await page.click('#start');
    await b.waitForState(page, ['playing'], 60000);
    const frames = await page.evaluate((ms) => new Promise((done) => {
      let count = 0;
      const t0 = performance.now();
      const tick = (now) => {
        count++;
        if (now - t0 < ms) requestAnimationFrame(tick);
        else done({ count, seconds: (now - t0) / 1000 });
      };
      requestAnimationFrame(tick);
    }), MEASURE_MS);
    console.log(`heaviest part at 1280x720: ${(frames.count / frames.seconds).toFixed(1)} fps ` +
                `(${frames.count} frames in ${frames.seconds.toFixed(1)} s)`);
    await page.close();
  } finally {
    await server.close();
  }
});
