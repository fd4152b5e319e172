// By hand: the web build's time to first frame and its frame rate in the heaviest formation, in
// headless Chromium (SwiftShader) at 1280 x 720; the floor any per-cube frame meets in that
// browser (draw_floor.html); and, given the Linux build's render_bench, the native rate of the
// heaviest frame at the same size, measured right after, with the ratio (docs/web.md).
//   NODE_PATH=tests/web/node_modules node bench/web/web_bench.js build/web/app \
//       [build/linux/bench/render_bench]
'use strict';
const path = require('path');
const { execFileSync } = require('child_process');
const b = require('../../tests/web/browser.js');

const webDir = process.argv[2] || 'build/web/app';
const renderBench = process.argv[3];
const HEAVY_FROM = 97;  // beats 163-164 and the seconds after: lattice and ring, 1861 cubes
const MEASURE_MS = 8000;

b.main(async (keep) => {
  const browser = keep(await b.launch({ autoplay: false }));
  const server = await b.serve(path.resolve(webDir));
  const benchServer = await b.serve(__dirname);
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
    const webFps = frames.count / frames.seconds;
    console.log(`heaviest part at 1280x720: ${webFps.toFixed(1)} fps ` +
                `(${frames.count} frames in ${frames.seconds.toFixed(1)} s)`);
    await page.close();

    for (const upload of ['subdata', 'none']) {
      page = await b.openPage(browser);
      await page.goto(`${benchServer.url}draw_floor.html?upload=${upload}`);
      await page.waitForFunction(() => window.floor, { timeout: 60000, polling: 200 });
      const floor = await page.evaluate(() => window.floor);
      console.log(`floor, 1861 tiny cubes, upload ${upload}: ${floor.fps.toFixed(1)} fps`);
      await page.close();
    }

    if (renderBench) {
      // The same machine, right after: render_bench's DrawCube line at 1280 x 720.
      const text = execFileSync(renderBench, [], { encoding: 'utf8' });
      const at720 = text.slice(text.indexOf('1280x720'));
      const native = Number(at720.match(/DrawCube[^\n]*?([0-9.]+) fps/)[1]);
      console.log(`native heaviest frame at 1280x720: ${native.toFixed(1)} fps; ` +
                  `web / native: ${(webFps / native).toFixed(3)}`);
    }
  } finally {
    await server.close();
    await benchServer.close();
  }
});
