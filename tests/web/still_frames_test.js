// ?still=T against the Linux GL build's frame at the same time (zephyrine-capture --still, the
// frame a 60 fps run shows), one time in each formation. The two rasterisers (SwiftShader, Mesa's
// llvmpipe) place texture samples with different sub-texel precision; where the unfiltered
// textures are minified (far cubes, stripes at the edge of the lattice) a tiny shift picks another
// texel, and the shader triples each texel. So single pixels may differ a lot while the picture is
// the same: the frames are compared pixel by pixel with a loose share, and as 8 x 8 block means
// with a tight one, which the neighbouring frame (1/60 s later) fails by far (docs/web.md).
//   node still_frames_test.js WEB_DIR CAPTURE_EXE SOURCE_DIR
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const b = require('./browser.js');

const [webDir, capture, sourceDir] = process.argv.slice(2);
// Central cube alone, wall, lattice, ring, ring and lattice wobbling.
const TIMES = [12, 24, 30, 60, 104];
const PIXEL_TOLERANCE = 3;  // per channel, out of 255
const PIXEL_SHARE = 0.8;    // of all pixels within PIXEL_TOLERANCE
const BLOCK = 8;            // block means over BLOCK x BLOCK pixels...
const BLOCK_TOLERANCE = 8;  // ...within this, per channel...
const BLOCK_SHARE = 0.99;   // ...for this share of the blocks

function reference(seconds, dir) {
  const out = path.join(dir, `linux-${seconds}.png`);
  execFileSync(capture, ['--size', '720', '--still', String(seconds), out],
               { cwd: sourceDir, env: { ...process.env, SDL_VIDEODRIVER: 'offscreen' },
                 stdio: ['ignore', 'ignore', 'inherit'] });
  return 'data:image/png;base64,' + fs.readFileSync(out).toString('base64');
}

// Decodes both pictures in the page; the shares of pixels and of block means within tolerance.
function compareInPage(page, webPng, linuxPng) {
  return page.evaluate(async (x, y, t) => {
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
      return { w: c.width, h: c.height, data: g.getImageData(0, 0, c.width, c.height).data };
    };
    const [pa, pb] = [pixels(await load(x)), pixels(await load(y))];
    if (pa.w !== pb.w || pa.h !== pb.h) return { sizeMismatch: true };
    const [a, bb, w, h] = [pa.data, pb.data, pa.w, pa.h];
    let within = 0;
    let lit = 0;
    for (let i = 0; i < a.length; i += 4) {
      if (bb[i] + bb[i + 1] + bb[i + 2] > 0) lit++;
      const d = Math.max(Math.abs(a[i] - bb[i]), Math.abs(a[i + 1] - bb[i + 1]),
                         Math.abs(a[i + 2] - bb[i + 2]));
      if (d <= t.pixel) within++;
    }
    let blocks = 0;
    let blocksWithin = 0;
    for (let by = 0; by + t.block <= h; by += t.block) {
      for (let bx = 0; bx + t.block <= w; bx += t.block) {
        const sum = [0, 0, 0];
        for (let yy = by; yy < by + t.block; yy++) {
          for (let xx = bx; xx < bx + t.block; xx++) {
            const i = 4 * (yy * w + xx);
            for (let c = 0; c < 3; c++) sum[c] += a[i + c] - bb[i + c];
          }
        }
        const n = t.block * t.block;
        blocks++;
        if (sum.every((s) => Math.abs(s / n) <= t.blockTolerance)) blocksWithin++;
      }
    }
    const count = a.length / 4;
    return { pixels: within / count, blocks: blocksWithin / blocks, lit: lit / count };
  }, webPng, linuxPng, { pixel: PIXEL_TOLERANCE, block: BLOCK, blockTolerance: BLOCK_TOLERANCE });
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
      const result = await compareInPage(page, still.png, linuxPng);
      b.check(!result.sizeMismatch, `?still=${t} is 1280x720 like the Linux frame`);
      b.check(result.lit > 0.001, `the Linux frame at ${t} s shows cubes`);
      console.log(`t=${t}: ${(100 * result.pixels).toFixed(2)} % of pixels within ` +
                  `${PIXEL_TOLERANCE}/255, ${(100 * result.blocks).toFixed(2)} % of ${BLOCK}x${BLOCK} ` +
                  `block means within ${BLOCK_TOLERANCE}/255`);
      b.check(result.pixels >= PIXEL_SHARE && result.blocks >= BLOCK_SHARE,
              `?still=${t} matches the Linux frame`);
      b.check(page.errors.length === 0, `?still=${t} leaves no uncaught error`);
      await page.close();
    }
  } finally {
    await server.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
