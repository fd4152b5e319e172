// The page around the show: the letterbox at full-screen sizes and pixel ratios, the page opened
// from a local file, the end and "play again" (after a pause), and broken assets and bad address
// options reported in one line on the page and in the console.
//   node page_test.js WEB_DIR
'use strict';
const path = require('path');
const b = require('./browser.js');

const [webDir] = process.argv.slice(2);

// The canvas's box in CSS pixels and its drawing buffer in device pixels.
const geometry = (page) => page.evaluate(() => {
  const c = document.getElementById('canvas');
  const r = c.getBoundingClientRect();
  return { x: r.x, y: r.y, w: r.width, h: r.height, bw: c.width, bh: c.height };
});

async function letterbox(browser, url) {
  // [viewport, pixel ratio, expected box x, y, w, h in CSS pixels]
  const cases = [[2560, 1440, 1, 0, 0, 2560, 1440], [2560, 1440, 2, 0, 0, 2560, 1440],
                 [1000, 1000, 1, 0, 219, 1000, 562], [2000, 600, 1.5, 466.67, 0, 1066.67, 600]];
  for (const [width, height, scale, x, y, w, h] of cases) {
    const page = await b.openPage(browser, { width, height, scale });
    await page.goto(url);
    b.check(await b.waitForState(page, ['ready', 'failed'], 60000) === 'ready',
            `the page loads at ${width}x${height}@${scale}`);
    const g = await geometry(page);
    const near = (p, q) => Math.abs(p - q) <= 1;
    b.check(near(g.x, x) && near(g.y, y) && near(g.w, w) && near(g.h, h),
            `${width}x${height}@${scale}: the picture is the largest centred 16:9 box ` +
            `(${g.x},${g.y} ${g.w}x${g.h})`);
    b.check(g.bw === Math.round(g.w * scale) && g.bh === Math.round(g.h * scale),
            `${width}x${height}@${scale}: its drawing buffer has the device's pixels (${g.bw}x${g.bh})`);
    await page.close();
  }
  // Full screen from the F key, in a window of another shape: the box follows the screen.
  const page = await b.openPage(browser, { width: 2560, height: 1440 });
  await page.goto(url);
  await b.waitForState(page, ['ready'], 60000);
  await page.keyboard.press('f');
  await page.waitForFunction(() => !!document.fullscreenElement, { timeout: 5000 });
  const g = await geometry(page);
  const view = await page.evaluate(() => [window.innerWidth, window.innerHeight]);
  b.check(Math.abs(g.w / g.h - 16 / 9) < 0.01 && (Math.abs(g.w - view[0]) <= 1 || Math.abs(g.h - view[1]) <= 1),
          `full screen (F) keeps the 16:9 letterbox (${g.w}x${g.h} in ${view[0]}x${view[1]})`);
  await page.close();
}

// The page's own time of each console line, taken as the program prints it (the console events
// reach the test later, and in bunches when the machine is busy).
const stampLines = () => {
  const log = console.log;
  window.tcStamped = [];
  console.log = function (...parts) {
    window.tcStamped.push({ text: String(parts[0]), at: performance.now() / 1000 });
    return log.apply(this, parts);
  };
};

// Started 1.5 s before the timeline ends: the button offers "Play again", which starts from 0.
// Clicked after a pause, the new run is a run from its first frame: the pause is no frame's time
// (the song clock is read ahead by half the averaged frame interval, so a pause counted as one
// would show the picture ahead of the sound).
async function playAgain(browser, url) {
  const pauseMs = 8000;
  const page = await b.openPage(browser);
  await page.evaluateOnNewDocument(stampLines);
  await page.goto(`${url}?start=172&mute`);
  await b.waitForState(page, ['ready'], 60000);
  await page.click('#start');
  b.check(await b.waitForState(page, ['ended', 'failed'], 30000) === 'ended',
          'the show ends by itself at the end of the timeline');
  b.check(await page.$eval('#start', (e) => e.textContent === 'Play again' && !e.disabled),
          'the button offers "Play again"');
  await new Promise((r) => setTimeout(r, pauseMs));
  const before = await page.evaluate(() => window.tcStamped.length);
  // The interval the clock's reading averages, after every animation frame from the click on
  // through the new run's first 60.
  await page.evaluate(() => {
    window.tcLongestInterval = 0;
    window.tcIntervalsWatched = false;
    let playing = 0;
    const watch = () => {
      window.tcLongestInterval = Math.max(window.tcLongestInterval, Module._tc_web_frame_interval());
      if (document.body.dataset.state === 'playing') playing += 1;
      if (playing < 60) requestAnimationFrame(watch); else window.tcIntervalsWatched = true;
    };
    requestAnimationFrame(watch);
  });
  await page.click('#start');
  b.check(await b.waitForState(page, ['playing', 'failed'], 30000) === 'playing',
          '"Play again" plays');
  await page.waitForFunction(() => window.tcIntervalsWatched, { timeout: 30000 });
  const longest = await page.evaluate(() => window.tcLongestInterval);
  b.check(longest < 1, `after a ${pauseMs / 1000} s pause the new run's frames are frames apart ` +
                       `(averaged interval at most ${longest.toFixed(3)} s)`);
  const t0 = Date.now();
  const restarted = () => page.evaluate((n) => window.tcStamped.slice(n), before)
    .then((lines) => lines.some((l) => /^\?\? Beat #0 at time /.test(l.text)));
  while (!(await restarted()) && Date.now() - t0 < 10000) await new Promise((r) => setTimeout(r, 200));
  b.check(await restarted(), 'from the top: beat 0 again');
  b.check(page.errors.length === 0, 'no uncaught error through the end and the new run');
  await page.close();
}

async function reportsFailure(browser, url, what, beforeMain, fileName, timeoutMs = 60000) {
  const page = await b.openPage(browser, { beforeMain });
  await page.goto(url);
  b.check(await b.waitForState(page, ['failed', 'ready', 'still'], timeoutMs) === 'failed',
          `${what}: the page reports a failure`);
  const shown = await page.$eval('#message', (e) => e.textContent);
  console.log(`${what}: "${shown}"`);
  b.check(shown.includes(fileName) && !shown.includes('\n'), `${what}: one line naming ${fileName}`);
  b.check(page.lines.some((l) => l.type === 'error' && l.text === shown),
          `${what}: the same line in the console`);
  b.check(page.errors.length === 0, `${what}: no uncaught error (${page.errors.join('; ')})`);
  await page.close();
}

b.main(async (keep) => {
  const browser = keep(await b.launch());
  const server = await b.serve(path.resolve(webDir));
  try {
    await letterbox(browser, server.url);
    await b.playsFromFile(browser, path.resolve(webDir));
    await playAgain(browser, server.url);
    await reportsFailure(browser, server.url, 'missing audio.mp3',
                      "(m) => m.FS.unlink('/resources/audio.mp3')", 'audio.mp3');
    await reportsFailure(browser, server.url, 'corrupt texture',
                      "(m) => m.FS.writeFile('/resources/texture2.png', " +
                      'new Uint8Array([0x89, 0x50, 0x4e, 0x47, 13, 10, 26, 10, 1, 2, 3, 4]))',
                      'texture2.png');
    // A bad address is reported like a bad command line, at once: a still after the end would
    // otherwise replay the choreography for minutes.
    await reportsFailure(browser, `${server.url}?still=999`, 'a still after the end', null,
                      '--still', 20000);
    await reportsFailure(browser, `${server.url}?start=soon`, 'a start that is not a time', null,
                      '--start');
  } finally {
    await server.close();
  }
});
