// The page around the show: the letterbox at full-screen sizes and pixel ratios, the page opened
// from a local file, the end and "play again" (after a pause), a phone (a tap, turning it, the
// screen kept on while the show plays), and broken assets and bad address options reported in one
// line on the page and in the console.
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

// A phone held upright, then turned: a tap starts the show, the letterbox holds both ways, and the
// page keeps the screen on while the show plays (asking again when it shows after being hidden,
// which drops the lock) and lets it dim at the end.
const PHONE_AGENT = 'Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 ' +
                    '(KHTML, like Gecko) Chrome/120.0.0.0 Mobile Safari/537.36';
const watchWakeLock = () => {
  window.tcWake = { asked: 0, locks: [] };
  if (!navigator.wakeLock) return;
  const request = navigator.wakeLock.request.bind(navigator.wakeLock);
  navigator.wakeLock.request = (type) => {
    window.tcWake.asked += 1;
    return request(type).then((lock) => { window.tcWake.locks.push(lock); return lock; });
  };
};

async function phone(browser, url) {
  const page = await b.openPage(browser);
  await page.setUserAgent(PHONE_AGENT);
  const upright = { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
  await page.setViewport(upright);
  await page.evaluateOnNewDocument(watchWakeLock);
  // A phone's browser grants the lock to a visible page; headless Chromium refuses it unless told.
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.grantPermissions',
                 { origin: new URL(url).origin, permissions: ['wakeLockScreen'] });
  // About 8 s of show: long enough to turn the phone while it plays.
  await page.goto(`${url}?start=164&mute`);
  b.check(await b.waitForState(page, ['ready', 'failed'], 60000) === 'ready', 'phone: the page loads');
  b.check(await page.evaluate(() => 'ontouchstart' in window && navigator.maxTouchPoints > 0),
          'phone: the page sees a touch screen');
  const button = await (await page.$('#start')).boundingBox();
  await page.touchscreen.tap(button.x + button.width / 2, button.y + button.height / 2);
  b.check(await b.waitForState(page, ['playing', 'failed'], 30000) === 'playing',
          'phone: a tap starts the show');
  await page.waitForFunction(() => window.tcWake.asked > 0, { timeout: 5000 }).catch(() => {});
  b.check(await page.evaluate(() => window.tcWake.asked) === 1,
          'phone: the show asks once for a screen wake lock');
  await page.waitForFunction(() => window.tcWake.locks.length > 0, { timeout: 5000 }).catch(() => {});
  b.check(await page.evaluate(() => window.tcWake.locks.length === 1 &&
                                    !window.tcWake.locks[0].released),
          'phone: and holds it while the show plays');

  // [viewport, expected box x, y, w, h in CSS pixels]
  const turns = [[upright, 0, 312.33, 390, 219.38],
                 [{ ...upright, width: 844, height: 390 }, 75.33, 0, 693.33, 390]];
  for (const [viewport, x, y, w, h] of turns) {
    await page.setViewport(viewport);
    await page.waitForFunction((vw) => window.innerWidth === vw, { timeout: 5000 }, viewport.width);
    await new Promise((r) => setTimeout(r, 200));
    const g = await geometry(page);
    const near = (p, q) => Math.abs(p - q) <= 1;
    const shape = viewport.width < viewport.height ? 'portrait' : 'landscape';
    b.check(near(g.x, x) && near(g.y, y) && near(g.w, w) && near(g.h, h),
            `phone, ${shape}: the picture is the largest centred 16:9 box (${g.x},${g.y} ${g.w}x${g.h})`);
    b.check(Math.abs(g.bw - g.w * 3) <= 1.5 && Math.abs(g.bh - g.h * 3) <= 1.5,
            `phone, ${shape}: its drawing buffer has the device's pixels (${g.bw}x${g.bh})`);
  }

  // Hidden and shown again: the browser has dropped the lock, and the page asks anew.
  await page.evaluate(() => Promise.all(window.tcWake.locks.map((l) => l.release())));
  await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
  await page.waitForFunction(() => window.tcWake.asked > 1, { timeout: 5000 }).catch(() => {});
  b.check(await page.evaluate(() => window.tcWake.asked) === 2,
          'phone: shown again while playing, it asks for the wake lock again');
  await page.waitForFunction(() => window.tcWake.locks.length > 1, { timeout: 5000 }).catch(() => {});
  b.check(await page.evaluate(() => window.tcWake.locks.length === 2 &&
                                    !window.tcWake.locks[1].released),
          'phone: and holds the new one');

  b.check(await b.waitForState(page, ['ended', 'failed'], 30000) === 'ended', 'phone: the show ends');
  await page.waitForFunction(() => window.tcWake.locks.every((l) => l.released), { timeout: 5000 })
    .catch(() => {});
  b.check(await page.evaluate(() => window.tcWake.locks.every((l) => l.released)),
          'phone: the end lets the screen dim (no wake lock held)');
  await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
  await new Promise((r) => setTimeout(r, 300));
  b.check(await page.evaluate(() => window.tcWake.asked) === 2,
          'phone: shown again after the end, it asks for nothing');
  b.check(page.errors.length === 0, `phone: no uncaught error (${page.errors.join('; ')})`);
  await page.close();
}

// A browser without a wake lock: the show plays all the same, with no error.
async function noWakeLock(browser, url) {
  const page = await b.openPage(browser);
  await page.evaluateOnNewDocument(() => {
    Object.defineProperty(Navigator.prototype, 'wakeLock', { get: () => undefined });
  });
  await page.goto(`${url}?start=172&mute`);
  await b.waitForState(page, ['ready'], 60000);
  await page.click('#start');
  b.check(await b.waitForState(page, ['ended', 'failed'], 30000) === 'ended',
          'without a wake lock the show plays to its end');
  b.check(page.errors.length === 0, `without a wake lock: no uncaught error (${page.errors.join('; ')})`);
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
    await phone(browser, server.url);
    await noWakeLock(browser, server.url);
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
