// The page around the show: the letterbox at full-screen sizes and pixel ratios, the page opened
// from a local file, the end and "play again", and broken assets and bad address options reported
// in one line on the page and in the console.
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

// Started 1.5 s before the timeline ends: the button offers "Play again", which starts from 0.
async function playAgain(browser, url) {
  const page = await b.openPage(browser);
  await page.goto(`${url}?start=172&mute`);
  await b.waitForState(page, ['ready'], 60000);
  await page.click('#start');
  b.check(await b.waitForState(page, ['ended', 'failed'], 30000) === 'ended',
          'the show ends by itself at the end of the timeline');
  b.check(await page.$eval('#start', (e) => e.textContent === 'Play again' && !e.disabled),
          'the button offers "Play again"');
  const before = page.lines.length;
  await page.click('#start');
  b.check(await b.waitForState(page, ['playing', 'failed'], 30000) === 'playing',
          '"Play again" plays');
  await page.waitForFunction(() => true);
  const t0 = Date.now();
  const restarted = () => page.lines.slice(before).some((l) => /^\?\? Beat #0 at time /.test(l.text));
  while (!restarted() && Date.now() - t0 < 10000) await new Promise((r) => setTimeout(r, 200));
  b.check(restarted(), 'from the top: beat 0 again');
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

// "-0" is the start: the first frame's picture, as ?still=0 draws it.
async function stillAtMinusZero(browser, url) {
  const page = await b.openPage(browser);
  await page.goto(`${url}?still=-0`);
  b.check(await b.waitForState(page, ['still', 'failed'], 60000) === 'still',
          '?still=-0 draws a frame');
  b.check(await page.evaluate(() => window.tcStill.seconds) === 0, '?still=-0 draws the frame at 0 s');
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
    // Read as the desktop and the capture tool read a time: no infinity, NaN, hex, blank or
    // empty value, and a huge one is after the end rather than a frame replayed for ever.
    for (const value of ['inf', 'nan', '1e300', '0x10', '', '%205', '5%20']) {
      await reportsFailure(browser, `${server.url}?still=${value}`, `?still=${value}`, null,
                        "option --still: ", 20000);
    }
    await stillAtMinusZero(browser, server.url);
  } finally {
    await server.close();
  }
});
