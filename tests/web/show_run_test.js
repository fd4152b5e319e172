// The show in a browser, started the way a viewer starts it: the page loads, its button becomes
// "Click to start", a real click starts the song, and 20 s of the show follow. Checks the beat
// lines (0..n in order, none missing, each naming its frame's time), the AudioContext (running,
// its time keeping up with the wall clock) and that no error went uncaught.
//   node show_run_test.js WEB_DIR
'use strict';
const path = require('path');
const b = require('./browser.js');

const [webDir] = process.argv.slice(2);
const RUN_MS = 20000;
const BEAT = /^\?\? Beat #(\d+) at time ([0-9.e+-]+) sec$/;

b.main(async (keep) => {
  // No autoplay permission: only the click may start the audio.
  const browser = keep(await b.launch({ autoplay: false }));
  const server = await b.serve(path.resolve(webDir));
  try {
    const page = await b.openPage(browser);
    const opened = Date.now();
    await page.goto(server.url);
    const ready = await b.waitForState(page, ['ready', 'failed'], 60000);
    b.check(ready === 'ready', 'the page loads and offers its start button');
    b.check(await page.$eval('#start', (e) => e.textContent === 'Click to start' && !e.disabled),
            'the button reads "Click to start"');
    console.log(`ready after ${Date.now() - opened} ms`);
    await page.click('#start');
    const playing = await b.waitForState(page, ['playing', 'failed'], 30000);
    b.check(playing === 'playing', 'a real click starts the show');
    b.check(await page.$eval('#overlay', (e) => e.hidden), 'the start screen is gone');

    const audioAt = async () => page.evaluate(() => {
      const list = window.miniaudio && window.miniaudio.devices;
      const device = list && list.find((d) => d && d.webaudio);
      return device ? { state: device.webaudio.state, time: device.webaudio.currentTime,
                        wall: performance.now() / 1000 } : null;
    });
    const first = await audioAt();
    await new Promise((r) => setTimeout(r, RUN_MS));
    const last = await audioAt();
    b.check(first && last && last.state === 'running', 'the AudioContext runs');
    const ratio = (last.time - first.time) / (last.wall - first.wall);
    console.log(`audio time advanced ${(last.time - first.time).toFixed(2)} s in ` +
                `${(last.wall - first.wall).toFixed(2)} s`);
    b.check(ratio > 0.9 && ratio < 1.1, 'the audio time advances with the wall clock');

    const beats = page.lines.filter((l) => l.type === 'log' && BEAT.test(l.text))
                            .map((l) => l.text.match(BEAT));
    const numbers = beats.map((m) => Number(m[1]));
    console.log(`${beats.length} beat lines, last: ${beats.length ? beats[beats.length - 1][0] : '-'}`);
    b.check(beats.length >= 20, 'beat lines arrive through 20 s of the show');
    b.check(numbers.every((n, i) => n === i), 'beat lines 0..n in order, none missing');
    b.check(beats.every((m) => Math.floor(Number(m[2]) / 0.6) >= Number(m[1])),
            "each beat line names a frame time at or after its beat's start");
    b.check(page.errors.length === 0, 'no uncaught error: ' + page.errors.join('; '));
    await page.close();
  } finally {
    await server.close();
  }
});
