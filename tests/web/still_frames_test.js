// ?still=T against the Linux GL build's frame at the same time (zephyrine-capture --still, the
// frame a 60 fps run shows), one time in each formation. The two rasterisers (SwiftShader, Mesa's
// llvmpipe) filter textures with different sub-texel precision, and the shader triples each
// texel, so pixels are compared with a tolerance (docs/web.md has the measured spread).
//   node still_frames_test.js WEB_DIR CAPTURE_EXE SOURCE_DIR
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const b = require('./browser.js');

const [webDir, capture, sourceDir] = process.argv.slice(2);
// Central cube alone, wall, lattice, ring, ring and lattice wobbling.
const TIMES = [10, 24, 40, 70, 104];
const TOLERANCE = 3;        // per channel, out of 255
const WITHIN_SHARE = 0.95;  // of all pixels within TOLERANCE
const LOOSE_TOLERANCE = 32; // texel-edge outliers stay below this...
const LOOSE_SHARE = 0.99;   // ...for this share of pixels

function reference(seconds, dir) {
  const out = path.join(dir, `linux-${seconds}.png`);
  execFileSync(capture, ['--size', '720', '--still', String(seconds), out],
               { cwd: sourceDir, env: { ...process.env, SDL_VIDEODRIVER: 'offscreen' },
                 stdio: ['ignore', 'ignore', 'inherit'] });
  return 'data:image/png;base64,' + fs.readFileSync(out).toString('base64');
}

// Decodes both pictures in the page and counts the pixels within each tolerance.
function compareInPage(page, webPng, linuxPng, tolerances) {
  return page.evaluate(async (x, y, tols) => {
    const load = (src) => new Promise((ok, no) => {
      const img = new Image();
      img.onload = () => ok(img);
      img.onerror = no;
      img.src = src;
    });
    const pixels = (img) => {
      const c = document.createElement('canvas');
      c.width = img.width;
      c.height = img.height;
      const g = c.getContext('2d');
      g.drawImage(img, 0, 0);
      return g.getImageData(0, 0, c.width, c.height).data;
    };
    const [a, bb] = [pixels(await load(x)), pixels(await load(y))];
    if (a.length !== bb.length) return { sizeMismatch: true };
    const within = tols.map(() => 0);
    const count = a.length / 4;
    let lit = 0;
    for (let i = 0; i < a.length; i += 4) {
      if (bb[i] + bb[i + 1] + bb[i + 2] > 0) lit++;
      const d = Math.max(Math.abs(a[i] - bb[i]), Math.abs(a[i + 1] - bb[i + 1]),
                         Math.abs(a[i + 2] - bb[i + 2]));
      tols.forEach((t, k) => { if (d <= t) within[k]++; });
    }
    return { shares: within.map((w) => w / count), lit: lit / count };
  }, webPng, linuxPng, tolerances);
}

b.main(async (keep) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tc-web-still-'));
  const browser = keep(await b.launch());
  const server = await b.serve(path.resolve(webDir));
  try {
    for (const t of TIMES) {
      const linuxPng = reference(t, dir);
      const page = await b.openPage(browser);
      await page.goto(`${server.url}?still=${t}`);
      const state = await b.waitForState(page, ['still', 'failed'], 60000);
      b.check(state === 'still', `?still=${t} draws its frame`);
      const still = await page.evaluate(() => window.tcStill);
      b.check(Math.abs(still.seconds - t) < 1 / 60, `?still=${t} drew the frame at ${still.seconds} s`);
      const result = await compareInPage(page, still.png, linuxPng, [TOLERANCE, LOOSE_TOLERANCE]);
      b.check(!result.sizeMismatch, `?still=${t} is 1280x720 like the Linux frame`);
      b.check(result.lit > 0.001, `the Linux frame at ${t} s shows cubes`);
      const [close, loose] = result.shares;
      console.log(`t=${t}: ${(100 * close).toFixed(2)} % within ${TOLERANCE}/255, ` +
                  `${(100 * loose).toFixed(2)} % within ${LOOSE_TOLERANCE}/255`);
      b.check(close >= WITHIN_SHARE && loose >= LOOSE_SHARE, `?still=${t} matches the Linux frame`);
      b.check(page.errors.length === 0, `?still=${t} leaves no uncaught error`);
      await page.close();
    }
  } finally {
    await server.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
