// The show in a browser, started the way a viewer starts it: the page loads, its button becomes
// "Click to start", a real click starts the song, and 20 s of the show follow. Checks the beat
// lines (0..n in order, none missing, each naming its frame's time), the AudioContext (running,
// its time keeping up with the wall clock, its output timestamp telling the same time as its
// latencies) and that no error went uncaught.
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

    // The song clock places the mix by the context's output timestamp and the script node's
    // playback time. Where the browser reports both, they must tell the same story as the node's
    // double buffer and the context's own latencies, or the picture would run off the sound.
    const sample = () => page.evaluate(() => {
      const device = window.miniaudio.devices.find((d) => d && d.webaudio);
      const context = device.webaudio;
      const stamp = context.getOutputTimestamp();
      const playbackTime = device.tumblecratePlaybackTime;
      if (typeof playbackTime !== 'number') return null;
      // Both: seconds from now until the start of the last buffer handed over is heard.
      const heardNow = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
      const byTimestamp = playbackTime - heardNow;
      const byLatencies = (playbackTime - context.currentTime) + context.baseLatency +
                          context.outputLatency;
      return byTimestamp - byLatencies;
    });
    const differences = [];
    for (let i = 0; i < 9; i++) {
      differences.push(await sample());
      await new Promise((r) => setTimeout(r, 110));
    }
    b.check(differences.every((d) => d !== null),
            'the song clock watches the script node\'s playback time');
    const median = differences.sort((x, y) => x - y)[4];
    console.log(`output timestamp minus latencies: median ${(1000 * median).toFixed(1)} ms`);
    // A wrong model of the node's buffering would be a whole period (93 ms) off.
    b.check(Math.abs(median) < 0.025, 'the output timestamp and the latencies agree within 25 ms');

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
