// The browser the web tests drive: Debian's headless Chromium with SwiftShader's WebGL 2, through
// puppeteer-core (which downloads no browser), and a local HTTP server for the page's folder.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const { pathToFileURL } = require('url');
const puppeteer = require('puppeteer-core');

const BROWSERS = ['/usr/bin/chromium-headless-shell', '/usr/bin/chromium',
                  '/usr/lib/chromium/headless_shell', '/usr/lib/chromium/chromium'];

function browserPath() {
  if (process.env.TC_CHROMIUM) return process.env.TC_CHROMIUM;
  const found = BROWSERS.find((p) => fs.existsSync(p));
  if (!found) throw new Error('no Chromium found: run scripts/setup (or set TC_CHROMIUM)');
  return found;
}

// `autoplay`: the AudioContext may start without a click (for tests that do not click).
async function launch({ autoplay = true, width = 1280, height = 720 } = {}) {
  // No run may reach a real sound server: the browser then plays into a fake output.
  process.env.PULSE_SERVER = process.env.PULSE_SERVER || '/nonexistent/tumblecrate-test-pulse';
  const args = ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox',
                '--disable-gpu-sandbox', `--window-size=${width},${height}`,
                '--disable-background-timer-throttling', '--disable-renderer-backgrounding'];
  if (autoplay) args.push('--autoplay-policy=no-user-gesture-required');
  const executablePath = browserPath();
  return puppeteer.launch({
    executablePath,
    headless: executablePath.includes('headless') ? 'shell' : true,
    args,
    defaultViewport: { width, height },
    protocolTimeout: 240000,
  });
}

// Serves `root` on a free local port; resolves to { url, close }.
function serve(root) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.png': 'image/png' };
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                         'Content-Length': fs.statSync(file).size });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      resolve({ url: `http://127.0.0.1:${server.address().port}/`,
                close: () => new Promise((r) => server.close(r)) });
    });
  });
}

// A page that records its console lines and uncaught errors.
// `beforeMain`: JavaScript source of a function that gets the module before the program runs.
async function openPage(browser, { width = 1280, height = 720, scale = 1, beforeMain = null } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height, deviceScaleFactor: scale });
  page.lines = [];
  page.errors = [];
  page.on('console', (m) => page.lines.push({ type: m.type(), text: m.text(), at: Date.now() }));
  page.on('pageerror', (e) => page.errors.push(String(e)));
  if (beforeMain) {
    await page.evaluateOnNewDocument(`window.TumblecrateBeforeMain = [${beforeMain}];`);
  }
  return page;
}

async function waitForState(page, states, timeoutMs) {
  const wanted = [].concat(states);
  await page.waitForFunction((w) => w.includes(document.body.dataset.state), {
    timeout: timeoutMs, polling: 100 }, wanted);
  return page.evaluate(() => document.body.dataset.state);
}

// The page in `dir` opened as a local file, as a party's machine opens an entry: it loads, a
// click plays it, and its beat lines follow, with no uncaught error.
async function playsFromFile(browser, dir) {
  const beat = /^\?\? Beat #\d+ at time [0-9.e+-]+ sec$/;
  const page = await openPage(browser);
  await page.goto(pathToFileURL(path.join(dir, 'index.html')).href);
  check(await waitForState(page, ['ready', 'failed'], 60000) === 'ready',
        'the page opened from file:// loads');
  await page.click('#start');
  check(await waitForState(page, ['playing', 'failed'], 30000) === 'playing',
        'the page opened from file:// plays');
  const beats = () => page.lines.filter((l) => beat.test(l.text)).length;
  const t0 = Date.now();
  while (beats() < 3 && Date.now() - t0 < 15000) await new Promise((r) => setTimeout(r, 200));
  check(beats() >= 3, 'and prints its beat lines');
  check(page.errors.length === 0, 'no uncaught error from file://');
  await page.close();
}

function check(condition, what) {
  if (!condition) throw new Error(what);
  console.log('ok: ' + what);
}

// Runs `body` and ends the process with its verdict; the browser is always closed.
async function main(body) {
  let browser = null;
  try {
    await body((b) => { browser = b; return b; });
    console.log('PASS');
    process.exitCode = 0;
  } catch (e) {
    console.error('FAIL: ' + (e && e.stack ? e.stack : e));
    process.exitCode = 1;
  } finally {
    if (browser) await browser.close().catch(() => {});
  }
}

module.exports = { launch, serve, openPage, waitForState, playsFromFile, check, main };
