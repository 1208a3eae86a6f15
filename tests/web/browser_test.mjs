// browser_test.mjs -- the browser build played in Debian's Chromium (headless,
// driven over the DevTools protocol by puppeteer-core), as a player would:
//   1. "Click to play": the logo fades in on white, then the menu comes up
//      (the canvas's pixels read back); keys the game uses do not scroll or
//      click anything on the page; Down x3 and Enter on Exit end the program
//      and the page says so; "Play again" starts it afresh;
//   2. reloaded: Options, Music changed, Save and Exit; reloaded again: the
//      options screen shows the saved value (kept in the browser's storage);
//   3. Start, Enter through the story slides: level 1 runs, and its frame
//      intervals are read from the program's own frame log; F12 downloads
//      the canvas as a 640x480 PNG under a date-and-time name.
// At every step: no error in the console, no request outside the server. The
// about line names the versions; the download is under 8 MB as served.
// It prints the figures (download size, page load to the first logo frame,
// level-1 frame intervals); the pacing is reported, not judged, since it is
// wall-clock time on a shared machine.
//
// Usage: node browser_test.mjs <web build folder> <native run folder>
//          [--screenshot file.png] [--frames N]
// Exit status: 0 pass, 1 fail, 77 skipped (no Chromium or no web build).
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { readBmp, matchFraction, logoProblem, menuProblem, regionOf, sameRegion } from './pictures.mjs';

const SKIP = 77;
const HERE = path.dirname(fileURLToPath(import.meta.url));
const PROJECT = path.resolve(HERE, '..', '..');
const CHROMIUM = process.env.VALMOREN_CHROMIUM || '/usr/bin/chromium';
const TARGET = 1 / 60;
// The page is 1280 wide and tall enough for the game's 640x480 canvas shown
// at twice its size under the page's bar: a whole multiple, crisp.
const VIEWPORT = { width: 1280, height: 1000 };
const SHOWN = { width: 1280, height: 960 };
const MAX_DOWNLOAD = 8e6;  // bytes, compressed, program and data together

function log(...parts) {
  console.log(...parts);
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

function args() {
  const argv = process.argv.slice(2);
  const out = { positional: [], screenshot: null, frames: 600 };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--screenshot') out.screenshot = argv[++i];
    else if (argv[i] === '--frames') out.frames = Number(argv[++i]);
    else out.positional.push(argv[i]);
  }
  return out;
}

// The page server of `make web-serve`, on a port the system picks.
function startServer(webFolder) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', [path.join(PROJECT, 'tools', 'web', 'serve.py'), webFolder, '0'], {
      env: { ...process.env, VALMOREN_WEB_QUIET: '1' },
      stdio: ['ignore', 'pipe', 'inherit'],
    });
    let text = '';
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const found = text.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (found) resolve({ server, origin: `http://127.0.0.1:${found[1]}` });
    });
    server.on('exit', (code) => reject(new Error(`the server ended (status ${code}): ${text}`)));
  });
}

class Session {
  constructor(browser, page, origin) {
    this.browser = browser;
    this.page = page;
    this.origin = origin;
    this.problems = [];      // console errors, page errors, stray or failed requests
    this.downloads = {};     // bytes on the wire of each program file
    page.on('console', (m) => {
      if (m.type() === 'error') this.problems.push(`console error: ${m.text()}`);
    });
    page.on('pageerror', (e) => this.problems.push(`page error: ${e.message}`));
    page.on('request', (r) => {
      const url = r.url();
      if (!url.startsWith(origin + '/') && !url.startsWith('data:') && !url.startsWith('blob:')) {
        this.problems.push(`request outside the server: ${url}`);
      }
    });
    page.on('requestfailed', (r) => this.problems.push(`request failed: ${r.url()} ${r.failure()?.errorText}`));
    page.on('requestfinished', (r) => {
      const name = new URL(r.url()).pathname.slice(1);
      const length = Number(r.response()?.headers()['content-length']);
      if (['valmoren.js', 'valmoren.wasm', 'valmoren.data'].includes(name) && length > 0) {
        this.downloads[name] = length;
      }
    });
  }

  // Loads the page with the frame log on and clicks "Click to play".
  // Returns the page's clock (ms since the load began) at the click.
  async startGame(reload) {
    if (reload) await this.page.reload({ waitUntil: 'load' });
    else await this.page.goto(`${this.origin}/?frame-log`, { waitUntil: 'load' });
    await this.page.waitForSelector('#start:not([disabled])', { visible: true });
    const clicked = await this.page.evaluate(() => performance.now());
    await this.page.click('#start');
    await this.page.waitForFunction(() => window.valmorenGame, { timeout: 30000 });
    return clicked;
  }

  // The canvas's picture brought back to the game's 640x480 pixels.
  async shot() {
    const data = await this.page.evaluate((w, h) => {
      const canvas = document.getElementById('canvas');
      if (!canvas || canvas.width === 0) return null;
      const small = document.createElement('canvas');
      small.width = w;
      small.height = h;
      const ctx = small.getContext('2d');
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(canvas, 0, 0, w, h);
      const rgba = ctx.getImageData(0, 0, w, h).data;
      const rgb = new Uint8Array(w * h * 3);
      for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
        rgb[j] = rgba[i];
        rgb[j + 1] = rgba[i + 1];
        rgb[j + 2] = rgba[i + 2];
      }
      let s = '';
      for (let i = 0; i < rgb.length; i += 0x8000) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
      return btoa(s);
    }, 640, 480);
    if (!data) return null;
    const bytes = Buffer.from(data, 'base64');
    return { w: 640, h: 480, pixel: (x, y) => { const i = (y * 640 + x) * 3; return [bytes[i], bytes[i + 1], bytes[i + 2]]; } };
  }

  // Shots until one passes `check` (returns null when it does) or the time
  // runs out; gives the last problem seen, or null.
  async poll(check, seconds) {
    const until = Date.now() + seconds * 1000;
    let problem = 'no shot taken';
    for (;;) {
      problem = check(await this.shot());
      if (problem === null || Date.now() > until) return problem;
      await sleep(200);
    }
  }

  // Holds a key long enough for a frame that waits on key presses to see it.
  async press(key) {
    await this.page.keyboard.down(key);
    await sleep(200);
    await this.page.keyboard.up(key);
    await sleep(200);
  }

  // The program's frame log: [present time (s since the page began loading),
  // corner pixel, centre pixel, ends a level frame].
  async presents() {
    const text = await this.page.evaluate(() => {
      try {
        return window.valmorenGame.FS.readFile('/tmp/frames.log', { encoding: 'utf8' });
      } catch (e) {
        return '';
      }
    });
    return text.split('\n').filter((l) => l).map((l) => {
      const p = l.split(' ');
      return [Number(p[0]), parseInt(p[1], 16), parseInt(p[2], 16), p[3] === 'L'];
    });
  }

  // Waits until no page has been shown for `still` seconds, as on a screen
  // that waits for a key; false when that does not happen in time.
  async waitStill(still = 0.7, seconds = 20) {
    const until = Date.now() + seconds * 1000;
    let count = (await this.presents()).length;
    let since = Date.now();
    while (Date.now() < until) {
      await sleep(100);
      const now = (await this.presents()).length;
      if (now !== count) {
        count = now;
        since = Date.now();
      } else if (Date.now() - since >= still * 1000) {
        return true;
      }
    }
    return false;
  }

  async notice() {
    return this.page.evaluate(() => {
      const n = document.getElementById('notice');
      return n.hidden ? null : document.getElementById('notice-text').textContent;
    });
  }
}

// The first present of the logo screen where the logo shows at the centre.
function firstLogoFrame(entries) {
  const e = entries.find(([, corner, centre]) => corner === 0xffffff && centre !== 0xffffff);
  return e ? e[0] : null;
}

function levelGaps(entries, count) {
  const gaps = [];
  for (let i = 1; i < entries.length && gaps.length < count; i++) {
    if (entries[i - 1][3] && entries[i][3]) gaps.push(entries[i][0] - entries[i - 1][0]);
  }
  return gaps;
}

const MUSIC_VALUE = { x: 336, y: 304, w: 40, h: 16 };  // the options screen's Music value
const EXIT_ROW = 400;

async function openOptions(s, pictures, failures, when) {
  const menu = await s.poll((shot) => menuProblem(shot, pictures), 25);
  if (menu) {
    failures.push(`${when}: menu: ${menu}`);
    return null;
  }
  await s.press('ArrowDown');
  await s.press('Enter');
  // The options screen: the ball beside the Music row, the second background.
  const problem = await s.poll((shot) => (shot && matchFraction(shot, pictures.ball, 200, 300) >= 0.98 ? null
    : 'no ball beside the Music row'), 10);
  if (problem) {
    failures.push(`${when}: options screen: ${problem}`);
    return null;
  }
  return regionOf(await s.shot(), MUSIC_VALUE);
}

async function run(s, pictures, opts, figures) {
  const failures = [];

  // 1. The logo on white, then the menu; Exit ends the program.
  const clicked = await s.startGame(false);
  // The about line names what the program was built with, as make_page.py found it.
  const about = await s.page.evaluate(() => document.getElementById('about').textContent);
  const named = ['Valmoren ', 'emscripten ', 'SDL2 ', 'libogg ', 'libvorbis '].every((n) => about.includes(n));
  if (!named || /unknown|@ABOUT@/.test(about)) failures.push(`the about line is ${JSON.stringify(about)}`);
  let problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 15);
  if (problem) failures.push(`logo screen: ${problem}`);
  const focused = await s.page.evaluate(() => document.activeElement && document.activeElement.id);
  if (focused !== 'canvas') failures.push(`after the click the keyboard is on "${focused}", not the canvas`);
  const size = await s.page.evaluate(() => {
    const c = document.getElementById('canvas');
    const box = c.getBoundingClientRect();
    return { w: c.width, h: c.height, shownW: box.width, shownH: box.height,
             centred: Math.abs(box.left + box.width / 2 - window.innerWidth / 2) <= 1 };
  });
  if (size.w !== 640 || size.h !== 480) failures.push(`the canvas holds ${size.w}x${size.h} pixels, not the game's 640x480`);
  if (size.shownW !== SHOWN.width || size.shownH !== SHOWN.height || !size.centred) {
    failures.push(`in a ${VIEWPORT.width}x${VIEWPORT.height} page the canvas shows at ${size.shownW}x${size.shownH}` +
                  `${size.centred ? '' : ', not centred'}, not at ${SHOWN.width}x${SHOWN.height}`);
  }
  const logoAt = firstLogoFrame(await s.presents());
  if (logoAt !== null) {
    figures.loadToLogo = logoAt;
    figures.clickToLogo = logoAt - clicked / 1000;
  }
  problem = await s.poll((shot) => menuProblem(shot, pictures), 25);
  if (problem) {
    failures.push(`menu: ${problem}`);
    return failures;
  }
  if (opts.screenshot) await s.page.screenshot({ path: opts.screenshot });

  // The page keeps the game's keys to the game.
  await s.page.evaluate(() => {
    window.valmorenKeysSeen = [];
    window.addEventListener('keydown', (e) => window.valmorenKeysSeen.push([e.code, e.defaultPrevented]));
  });
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  problem = await s.poll((shot) => menuProblem(shot, pictures, EXIT_ROW), 5);
  if (problem) failures.push(`after Down three times: ${problem}`);
  await s.press('Space');
  const keys = await s.page.evaluate(() => ({ seen: window.valmorenKeysSeen, top: document.scrollingElement.scrollTop }));
  const loose = keys.seen.filter(([, prevented]) => !prevented).map(([code]) => code);
  if (keys.seen.length < 4 || loose.length > 0) failures.push(`keys the page acted on: ${loose.join(', ') || 'none seen'}`);
  if (keys.top !== 0) failures.push(`the page scrolled to ${keys.top}`);
  await s.press('Enter');
  await s.page.waitForFunction(() => !document.getElementById('notice').hidden, { timeout: 10000 }).catch(() => {});
  const ended = await s.notice();
  if (ended !== 'The game has ended.') failures.push(`after Exit the page says ${JSON.stringify(ended)}`);
  const again = await s.page.evaluate(() => !document.getElementById('again').hidden && !document.getElementById('canvas'));
  if (!again) {
    failures.push('after Exit the page does not offer to play again');
  } else {
    // Playing again starts a fresh program on a fresh canvas.
    await s.page.click('#again');
    problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 15);
    if (problem) failures.push(`after "Play again": ${problem}`);
  }

  // 2. Settings kept across reloads.
  await s.startGame(true);
  const before = await openOptions(s, pictures, failures, 'first visit');
  if (!before) return failures;
  await s.press('Enter');  // Music: ON becomes OFF
  await sleep(300);
  const changed = regionOf(await s.shot(), MUSIC_VALUE);
  if (sameRegion(before, changed)) {
    failures.push('Enter on the Music row did not change the value shown');
    return failures;
  }
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  await s.press('Enter');  // Save and Exit
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) failures.push(`after Save and Exit: ${problem}`);
  await sleep(500);
  await s.startGame(true);
  const kept = await openOptions(s, pictures, failures, 'after the reload');
  if (!kept) return failures;
  if (!sameRegion(kept, changed)) failures.push('after a reload the options screen does not show the saved Music value');
  // Music back on for the level (Save and Exit again).
  await s.press('Enter');
  await sleep(300);
  if (!sameRegion(regionOf(await s.shot(), MUSIC_VALUE), before)) failures.push('Enter on the Music row did not bring the first value back');
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  await s.press('Enter');

  // 3. Level 1, its frame intervals.
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) {
    failures.push(`after saving again: ${problem}`);
    return failures;
  }
  await s.press('Enter');  // Start
  for (let slide = 0; slide < 2; slide++) {
    if (!(await s.waitStill())) failures.push(`story slide ${slide + 1} did not wait for a key`);
    await s.press('Enter');
  }
  const until = Date.now() + 90000;
  let gaps = [];
  while (Date.now() < until) {
    gaps = levelGaps(await s.presents(), opts.frames);
    if (gaps.length >= opts.frames) break;
    await sleep(1000);
  }
  if (gaps.length < opts.frames) {
    failures.push(`level 1 showed ${gaps.length} level frames in a row, not ${opts.frames}`);
  } else {
    const mean = gaps.reduce((a, b) => a + b, 0) / gaps.length;
    const deviation = Math.sqrt(gaps.reduce((a, g) => a + (g - mean) ** 2, 0) / gaps.length);
    figures.frames = { count: gaps.length, mean, deviation, late: gaps.filter((g) => g > 1.5 * TARGET).length };
  }
  // F12 during the level: the browser downloads the canvas as a 640x480 PNG.
  const download = await screenshotProblem(s);
  if (download) failures.push(`F12: ${download}`);
  return failures;
}

// Presses F12 with downloads going to a folder of the test's own; a problem,
// or null when one valmoren_<date>_<time>.png of 640x480 arrives.
async function screenshotProblem(s) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-downloads-'));
  try {
    const cdp = await s.browser.target().createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
    await s.press('F12');
    const until = Date.now() + 10000;
    let names = [];
    while (Date.now() < until) {
      names = fs.readdirSync(folder);
      if (names.length && names.every((n) => n.endsWith('.png'))) break;
      await sleep(200);
    }
    if (names.length !== 1) return `${names.length} files downloaded (${names.join(', ')}), not one`;
    if (!/^valmoren_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.png$/.test(names[0])) return `downloaded as "${names[0]}"`;
    const bytes = fs.readFileSync(path.join(folder, names[0]));
    const signature = bytes.subarray(0, 8).toString('hex') === '89504e470d0a1a0a';
    if (!signature || bytes.length < 24) return `${names[0]} is not a PNG`;
    const w = bytes.readUInt32BE(16), h = bytes.readUInt32BE(20);
    if (w !== 640 || h !== 480) return `${names[0]} is ${w}x${h}, not 640x480`;
    return null;
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

async function main() {
  const opts = args();
  if (opts.positional.length !== 2) {
    log('usage: node browser_test.mjs <web build folder> <native run folder> [--screenshot file.png] [--frames N]');
    return 1;
  }
  const [webFolder, runFolder] = opts.positional.map((p) => path.resolve(p));
  if (!fs.existsSync(CHROMIUM)) {
    log(`skipped: no Chromium at ${CHROMIUM}`);
    return SKIP;
  }
  if (!fs.existsSync(path.join(webFolder, 'index.html')) || !fs.existsSync(path.join(webFolder, 'valmoren.wasm'))) {
    log(`skipped: no web build in ${webFolder} (make web)`);
    return SKIP;
  }
  const pictures = {};
  for (const name of ['logo3', 'l1', 'ball', 'start', 'options', 'credits', 'exit']) {
    pictures[name] = readBmp(path.join(runFolder, 'img', name + '.bmp'));
    if (!pictures[name]) {
      log(`cannot read ${name}.bmp in ${runFolder}/img`);
      return 1;
    }
  }
  const { default: puppeteer } = await import('puppeteer-core');
  const { server, origin } = await startServer(webFolder);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-chromium-'));
  let browser = null;
  const figures = {};
  let failures = [];
  try {
    browser = await puppeteer.launch({
      executablePath: CHROMIUM,
      headless: true,
      userDataDir: profile,
      args: ['--no-sandbox', '--disable-gpu', '--use-gl=swiftshader', '--enable-unsafe-swiftshader',
             '--disable-quic', '--no-first-run', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', '--autoplay-policy=user-gesture-required',
             `--window-size=${VIEWPORT.width},${VIEWPORT.height}`],
    });
    const page = await browser.newPage();
    await page.setViewport(VIEWPORT);
    const s = new Session(browser, page, origin);
    failures = await run(s, pictures, opts, figures);
    failures.push(...s.problems);
    const names = ['valmoren.js', 'valmoren.wasm', 'valmoren.data'];
    const missing = names.filter((n) => !(n in s.downloads));
    if (missing.length) {
      failures.push(`no size seen for ${missing.join(', ')}`);
    } else {
      figures.download = names.reduce((a, n) => a + s.downloads[n], 0);
      if (figures.download >= MAX_DOWNLOAD) failures.push(`the download is ${figures.download} bytes, not under ${MAX_DOWNLOAD}`);
    }
  } catch (e) {
    failures.push(`the run stopped: ${e.stack || e}`);
  } finally {
    if (browser) await browser.close().catch(() => {});
    server.kill();
    fs.rmSync(profile, { recursive: true, force: true });
  }

  if (figures.download) log(`download (program and data, compressed as served): ${(figures.download / 1e6).toFixed(2)} MB`);
  if (figures.loadToLogo !== undefined) {
    log(`page load to the first logo frame: ${figures.loadToLogo.toFixed(2)} s (${figures.clickToLogo.toFixed(2)} s after the click)`);
  }
  if (figures.frames) {
    const f = figures.frames;
    const off = (f.mean / TARGET - 1) * 100;
    log(`level-1 frame interval over ${f.count} frames: mean ${(f.mean * 1000).toFixed(3)} ms (${off >= 0 ? '+' : ''}${off.toFixed(2)} % of 1/60 s, ` +
        `${Math.abs(off) <= 2 ? 'within' : 'OUTSIDE'} 2 %), deviation ${(f.deviation * 1000).toFixed(3)} ms, ${f.late} longer than 1.5 frames`);
  }
  for (const f of failures) log('FAILED:', f);
  log(failures.length ? 'browser test: FAILED' : 'browser test: passed');
  return failures.length ? 1 : 0;
}

process.exit(await main());
