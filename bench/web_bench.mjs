// web_bench.mjs -- the browser build's figures on an emulated phone held
// sideways, in Debian's headless Chromium driven over the DevTools protocol:
//   - the first visit, in a new profile with nothing cached, on the usual
//     mobile profile of page audits (150 ms round trip, 1.6 Mbit/s down,
//     675 kbit/s up, the processor slowed 4x), "Click to play" tapped as soon
//     as the page's scripts have run: opening the link to the first logo
//     frame and to the menu, the bytes that arrived before the logo; then the
//     second visit (a reload, from the offline copy): tap to logo;
//   - the same first visit with no network limit and the processor at 1x;
//   - level 1 with the processor at 1x, 4x and 6x: the frame intervals (from
//     the program's own log of the pages it shows) and the share of the
//     time the page's main thread was busy (Chromium's own task durations),
//     over stretches in which only level frames were shown.
// With --desktop <json> (bench/sdl_pacing.py --json) the desktop program's
// figures on the same machine go beside them. With --profile <folder> it
// also takes Chromium's sampling profile of level 1 at 1x and a trace of one
// second of its frames, writes both there and prints where the main thread's
// time went (a build with function names, web-bench.sh --profile, names the
// program's own functions).
// A benchmark, not a test: it judges nothing and ends with 0 when it could
// measure (1 when the game did not get as far as it measures).
// With --against <another web build folder> (more than once, and --rounds N)
// the builds take turns in the same browser, each change measured against
// the one before under the same load.
// Usage: node web_bench.mjs <web build folder> <native run folder>
//          [--desktop figures.json] [--profile folder] [--seconds N] [--only first|level]
//          [--against folder]... [--rounds N]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { CHROMIUM, TARGET, frameFigures, launchChromium, levelGaps, parsePresents, sleep, startServer, stopServer,
         waitStill }
  from '../tests/web/harness.mjs';
import { readBmp } from '../tests/web/pictures.mjs';
import { profileTable, traceTable } from './web_profile.mjs';

// A phone held sideways, in CSS pixels, with twice as many screen pixels.
const PHONE = { width: 844, height: 390, scale: 2 };
// The mobile profile of page audits, in DevTools' units (bytes a second).
const MOBILE = { offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 675e3 / 8 };
const UNLIMITED = { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 };
const LATE = 0.025;  // a frame longer than this is a frame seen to stutter

function args() {
  const argv = process.argv.slice(2);
  const out = { positional: [], desktop: null, profile: null, seconds: 10, only: null, against: [], rounds: 1 };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--desktop') out.desktop = argv[++i];
    else if (argv[i] === '--profile') out.profile = argv[++i];
    else if (argv[i] === '--seconds') out.seconds = Number(argv[++i]);
    else if (argv[i] === '--only') out.only = argv[++i];
    else if (argv[i] === '--against') out.against.push(argv[++i]);
    else if (argv[i] === '--rounds') out.rounds = Number(argv[++i]);
    else out.positional.push(argv[i]);
  }
  return out;
}

// The program's frame log, read from where the last look stopped.
class FrameLog {
  constructor(page) {
    this.page = page;
    this.entries = [];
    this.offset = 0;
  }

  async update() {
    const text = await this.page.evaluate((offset) => {
      const game = window.valmorenGame;
      if (!game) return null;
      try {
        const size = game.FS.stat('/tmp/frames.log').size;
        if (size <= offset) return '';
        const file = game.FS.open('/tmp/frames.log', 'r');
        const bytes = new Uint8Array(size - offset);
        game.FS.read(file, bytes, 0, bytes.length, offset);
        game.FS.close(file);
        const text = new TextDecoder().decode(bytes);
        return text.slice(0, text.lastIndexOf('\n') + 1);
      } catch (e) {
        return '';
      }
    }, this.offset).catch(() => null);
    if (text) {
      this.offset += Buffer.byteLength(text);
      this.entries.push(...parsePresents(text));
    }
    return this.entries;
  }

  // Waits until `found(entries)` gives a value, or null after `seconds`.
  async until(found, seconds, every = 200) {
    const end = Date.now() + seconds * 1000;
    for (;;) {
      const value = found(await this.update());
      if (value !== null && value !== undefined) return value;
      if (Date.now() > end) return null;
      await sleep(every);
    }
  }

  // Waits until no page has gone up for `still` seconds (a screen waiting for
  // a key); false when that does not happen in time.
  async still(still = 0.8, seconds = 30) {
    return waitStill(async () => (await this.update()).length, still, seconds, 1);
  }

}

// Where the logo and the menu first show in the log: the first present of
// the logo on white with the logo at the centre, and the first after it with
// the menu's background in the corner.
function logoAndMenu(entries, menuCorner) {
  const logo = entries.findIndex(([, corner, centre]) => corner === 0xffffff && centre !== 0xffffff);
  if (logo < 0) return { logo: null, menu: null };
  const menu = entries.findIndex((e, i) => i > logo && e[1] === menuCorner);
  return { logo: entries[logo][0], menu: menu < 0 ? null : entries[menu][0] };
}

// A page of its own in a new browser context (nothing cached, no offline
// copy), on the phone's screen, with the processor slowed `cpu` times and the
// network as given; the service worker's requests are held to the same
// network. Bytes received are counted per request as they finish.
async function phonePage(browser, cpu, network) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send('Emulation.setDeviceMetricsOverride', {
    width: PHONE.width, height: PHONE.height, deviceScaleFactor: PHONE.scale, mobile: true,
    screenOrientation: { type: 'landscapePrimary', angle: 90 },
  });
  await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: cpu });
  await cdp.send('Performance.enable', { timeDomain: 'timeTicks' });
  const arrivals = [];  // [monotonic seconds when done, bytes on the wire, url, from the worker]
  const watch = async (session, worker) => {
    await session.send('Network.enable');
    await session.send('Network.emulateNetworkConditions', network);
    const urls = new Map();
    session.on('Network.requestWillBeSent', (e) => urls.set(e.requestId, e.request.url));
    session.on('Network.loadingFinished', (e) => arrivals.push([e.timestamp, e.encodedDataLength, urls.get(e.requestId), worker]));
  };
  await watch(cdp, false);
  // The page's offline worker fetches too (its install): on the same network.
  context.on('targetcreated', async (target) => {
    if (target.type() !== 'service_worker') return;
    try {
      await watch(await target.createCDPSession(), true);
    } catch (e) {
      // A worker gone before it was reached fetched nothing more.
    }
  });
  return { context, page, cdp, arrivals, log: new FrameLog(page) };
}

// The page's clock (seconds since it began loading) as the DevTools
// protocol's monotonic clock reads it.
async function pageClockOrigin(cdp) {
  const { metrics } = await cdp.send('Performance.getMetrics');
  const stamp = metrics.find((m) => m.name === 'Timestamp').value;
  const now = await cdp.send('Runtime.evaluate', { expression: 'performance.now()', returnByValue: true });
  return stamp - now.result.value / 1000;
}

async function tapStart(p) {
  await p.page.waitForSelector('#start:not([disabled])', { visible: true, timeout: 120000 });
  const at = await p.page.evaluate(() => {
    const b = document.getElementById('start');
    const r = b && b.getBoundingClientRect();
    return r && r.width > 0 ? { x: r.left + r.width / 2, y: r.top + r.height / 2, now: performance.now() } : null;
  });
  if (!at) throw new Error('no "Click to play" button to tap');
  await p.page.touchscreen.tap(at.x, at.y);
  return at.now / 1000;
}

// One first visit (and its second, from the offline copy): the figures in
// seconds from the page's start and in bytes.
async function firstVisit(browser, origin, cpu, network, menuCorner, second) {
  const p = await phonePage(browser, cpu, network);
  const out = {};
  try {
    await p.page.goto(`${origin}/?frame-log`, { waitUntil: 'domcontentloaded', timeout: 120000 });
    const tapped = await tapStart(p);
    const origin0 = await pageClockOrigin(p.cdp);
    const seen = await p.log.until((entries) => {
      const f = logoAndMenu(entries, menuCorner);
      return f.menu !== null ? f : null;
    }, 180, 250);
    if (!seen) throw new Error('the menu did not come up');
    out.logo = seen.logo;
    out.menu = seen.menu;
    out.tapToLogo = seen.logo - tapped;
    const before = (limit) => p.arrivals.filter(([t]) => t - origin0 <= limit);
    out.bytesBeforeLogo = before(seen.logo).reduce((a, x) => a + x[1], 0);
    out.bytesBeforeMenu = before(seen.menu).reduce((a, x) => a + x[1], 0);
    if (second) {
      // The offline copy complete (the worker in control), then a reload.
      await p.page.evaluate(() => navigator.serviceWorker && navigator.serviceWorker.ready).catch(() => null);
      await sleep(2000);
      out.allBytes = p.arrivals.reduce((a, x) => a + x[1], 0);
      out.workerBytes = p.arrivals.filter((x) => x[3]).reduce((a, x) => a + x[1], 0);
      const controlled = await p.page.evaluate(() => !!(navigator.serviceWorker && navigator.serviceWorker.controller));
      p.log = new FrameLog(p.page);
      const count = p.arrivals.length;
      await p.page.reload({ waitUntil: 'domcontentloaded', timeout: 120000 });
      const again = await tapStart(p);
      const logo = await p.log.until((entries) => logoAndMenu(entries, menuCorner).logo, 60, 100);
      if (logo !== null) {
        out.second = { logo, tapToLogo: logo - again, controlled,
                       bytes: p.arrivals.slice(count).reduce((a, x) => a + x[1], 0) };
      }
    }
  } finally {
    await p.context.close().catch(() => {});
  }
  return out;
}

// From the menu to level 1: Start, then Enter on each of the two story
// slides once it waits.
async function intoLevel(p) {
  for (let slide = 0; slide < 2; slide++) {
    if (!(await p.log.still())) return false;
    await p.page.keyboard.press('Enter', { delay: 150 });
  }
  return true;
}

// The game-over question is up: the screen changes without a level frame
// for longer than an overlay lasts.
function gameOverAsked(entries, since) {
  const mine = entries.slice(since);
  if (!mine.length || mine[mine.length - 1][3]) return false;
  let last = null;
  for (const e of mine) if (e[3]) last = e[0];
  return last !== null && mine[mine.length - 1][0] - last > 4;
}

// Processor time (user and system, seconds) of the main thread of each of
// the browser's renderer processes, from Linux's /proc; empty elsewhere.
function rendererThreadSeconds(browserPid) {
  const out = new Map();
  let names = [];
  try {
    names = fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n));
  } catch (e) {
    return out;
  }
  const tick = 100;  // USER_HZ on Linux
  for (const pid of names) {
    try {
      const cmd = fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1');
      if (!cmd.includes('--type=renderer') || !isDescendant(pid, browserPid)) continue;
      const fields = fs.readFileSync(`/proc/${pid}/task/${pid}/stat`, 'latin1').split(')').pop().trim().split(' ');
      out.set(pid, (Number(fields[11]) + Number(fields[12])) / tick);
    } catch (e) {
      // A process that ended meanwhile.
    }
  }
  return out;
}

function isDescendant(pid, ancestor) {
  for (let p = String(pid), i = 0; p && p !== '0' && i < 20; i++) {
    if (p === String(ancestor)) return true;
    try {
      p = fs.readFileSync(`/proc/${p}/stat`, 'latin1').split(')').pop().trim().split(' ')[1];
    } catch (e) {
      return false;
    }
  }
  return false;
}

async function taskSeconds(cdp, browserPid) {
  const { metrics } = await cdp.send('Performance.getMetrics');
  const get = (name) => metrics.find((m) => m.name === name)?.value ?? 0;
  return { task: get('TaskDuration'), script: get('ScriptDuration'), threads: rendererThreadSeconds(browserPid) };
}

// The processor time of the busiest renderer's main thread between two looks.
function threadDelta(before, after) {
  let most = 0;
  for (const [pid, t] of after.threads) if (before.threads.has(pid)) most = Math.max(most, t - before.threads.get(pid));
  return most;
}

// Level 1 at each processor rate in turn, `seconds` of level frames each:
// frame figures and the main thread's busy share, taken only over stretches
// in which nothing but level frames went up. Nobody plays the ball: the
// game-over question is answered with Y and the level starts again.
async function levelRun(browser, origin, menuCorner, seconds, rates, profile) {
  const p = await phonePage(browser, 1, UNLIMITED);
  const results = {};
  try {
    await p.page.goto(`${origin}/?frame-log`, { waitUntil: 'load', timeout: 120000 });
    await tapStart(p);
    if (!(await p.log.until((entries) => logoAndMenu(entries, menuCorner).menu, 60))) throw new Error('no menu');
    await sleep(500);
    await p.page.keyboard.press('Enter', { delay: 150 });
    if (!(await intoLevel(p))) throw new Error('the story slides did not come up');
    let thisGame = p.log.entries.length;
    // Past the closing wipe and the get-ready picture: level frames.
    await p.log.until((entries) => (levelGaps(entries.slice(thisGame)).length > 30 ? true : null), 60);
    for (const rate of rates) {
      await p.cdp.send('Emulation.setCPUThrottlingRate', { rate });
      await sleep(1000);
      const r = { gaps: [], wall: 0, task: 0, script: 0, cpu: 0 };
      let last = null;
      const deadline = Date.now() + (seconds * 6 + 60) * 1000;
      let profiled = false;
      while (r.wall < seconds && Date.now() < deadline) {
        if (profile && rate === 1 && !profiled && r.wall > 1) {
          profiled = true;
          r.profile = await takeProfile(p, profile);
          last = null;
          continue;
        }
        await sleep(500);
        const entries = await p.log.update();
        const t = await taskSeconds(p.cdp, browser.process().pid);
        const now = Date.now() / 1000;
        if (gameOverAsked(entries, thisGame)) {
          await p.page.keyboard.press('y', { delay: 150 });
          if (!(await intoLevel(p))) throw new Error('the story slides did not come up again');
          thisGame = p.log.entries.length;
          await p.log.until((e) => (levelGaps(e.slice(thisGame)).length > 30 ? true : null), 60);
          last = null;
          continue;
        }
        if (last) {
          const fresh = entries.slice(last.count);
          if (fresh.length >= 10 && fresh.every((e) => e[3]) && last.count > 0 && entries[last.count - 1][3]) {
            r.wall += now - last.now;
            r.task += t.task - last.task;
            r.script += t.script - last.script;
            r.cpu += threadDelta(last, t);
            r.gaps.push(...levelGaps(entries.slice(last.count - 1)));
          }
        }
        last = { now, count: entries.length, ...t };
      }
      results[rate] = r;
    }
  } finally {
    await p.context.close().catch(() => {});
  }
  return results;
}

// What the browser costs on its own: the main thread of an idle page, and of
// a page that only puts a 640x480 picture (one pixel changed each time) on a
// canvas shown as the game's is, 60 times a second, at CPU 1x.
async function referenceRun(browser, origin, seconds) {
  const out = {};
  for (const kind of ['idle', 'canvas']) {
    const p = await phonePage(browser, 1, UNLIMITED);
    try {
      await p.page.goto('about:blank', { waitUntil: 'load' });
      await p.page.evaluate((puts) => {
        document.documentElement.innerHTML = '<body style="margin:0;background:#000">' +
          '<canvas width="640" height="480" style="width:520px;height:390px;image-rendering:pixelated"></canvas></body>';
        if (!puts) return;
        const context = document.querySelector('canvas').getContext('2d', { alpha: false });
        const picture = new ImageData(640, 480);
        let n = 0;
        const put = () => {
          picture.data[(n++ * 4) % picture.data.length] = n & 255;
          context.putImageData(picture, 0, 0);
        };
        setInterval(put, 1000 / 60);
      }, kind === 'canvas');
      await sleep(1000);
      const before = await taskSeconds(p.cdp, browser.process().pid);
      const start = Date.now();
      await sleep(seconds * 1000);
      const after = await taskSeconds(p.cdp, browser.process().pid);
      const wall = (Date.now() - start) / 1000;
      out[kind] = { task: (after.task - before.task) / wall, cpu: threadDelta(before, after) / wall };
    } finally {
      await p.context.close().catch(() => {});
    }
  }
  return out;
}

// Chromium's sampling profile of 8 s of level 1 and a trace of one second of
// it, written into `folder`; the tables of where the time went.
async function takeProfile(p, folder) {
  fs.mkdirSync(folder, { recursive: true });
  await p.cdp.send('Profiler.enable');
  await p.cdp.send('Profiler.setSamplingInterval', { interval: 200 });
  await p.cdp.send('Profiler.start');
  await sleep(8000);
  const { profile } = await p.cdp.send('Profiler.stop');
  fs.writeFileSync(path.join(folder, 'level1.cpuprofile'), JSON.stringify(profile));
  const traceFile = path.join(folder, 'level1-trace.json');
  await p.page.tracing.start({ path: traceFile, categories: ['toplevel', 'devtools.timeline', 'disabled-by-default-devtools.timeline', 'v8.execute'] });
  await sleep(1000);
  await p.page.tracing.stop();
  return { profile: profileTable(profile), trace: traceTable(JSON.parse(fs.readFileSync(traceFile, 'utf8'))) };
}

function ms(s) {
  return s === null || s === undefined ? 'not seen' : `${(s * 1000).toFixed(0)} ms`;
}

function secs(s) {
  return s === null || s === undefined ? 'not seen' : `${s.toFixed(2)} s`;
}

function mb(b) {
  return b === null || b === undefined ? '?' : `${(b / 1e6).toFixed(2)} MB`;
}

function frameLine(r) {
  if (!r || r.gaps.length < 10) return 'not measured';
  const f = frameFigures(r.gaps, LATE);
  const off = (f.mean / TARGET - 1) * 100;
  return `mean ${(f.mean * 1000).toFixed(2)} ms (${off >= 0 ? '+' : ''}${off.toFixed(1)} %, ${(1 / f.mean).toFixed(1)} fps),` +
         ` sd ${(f.deviation * 1000).toFixed(2)} ms, ${f.late} of ${f.count} over 25 ms`;
}

// Every figure of one build, measured in the running browser.
async function measureBuild(browser, webFolder, menuCorner, opts) {
  const { server, origin } = await startServer(path.join(webFolder, 'site'));
  const f = {};
  try {
    if (opts.only !== 'level') {
      f.phone = await firstVisit(browser, origin, 4, MOBILE, menuCorner, true);
      f.fast = await firstVisit(browser, origin, 1, UNLIMITED, menuCorner, false);
    }
    if (opts.only !== 'first') {
      f.level = await levelRun(browser, origin, menuCorner, opts.seconds, [1, 4, 6], opts.profile);
      f.reference = await referenceRun(browser, origin, Math.min(opts.seconds, 8));
    }
  } catch (e) {
    f.stopped = `${e.stack || e}`;
  } finally {
    await stopServer(server);
  }
  return f;
}

function report(f, title, desktop, opts) {
  const load = os.loadavg().map((x) => x.toFixed(2)).join(' ');
  console.log(`${title} on an emulated phone (${PHONE.width}x${PHONE.height} sideways, touch), Chromium headless;` +
              ` load average at the end ${load} on ${os.cpus().length} cores:`);
  if (f.phone) {
    console.log('  first visit, 150 ms round trip, 1.6 Mbit/s down, 675 kbit/s up, CPU 4x, nothing cached:');
    console.log(`    opening the link to the first logo frame: ${secs(f.phone.logo)} (aim at most 5 s); to the menu: ${secs(f.phone.menu)}`);
    console.log(`    bytes before the logo: ${mb(f.phone.bytesBeforeLogo)}; before the menu: ${mb(f.phone.bytesBeforeMenu)};` +
                ` all of the first visit: ${mb(f.phone.allBytes)} (${mb(f.phone.workerBytes)} of it by the offline worker)`);
    console.log(`    tap to logo: ${secs(f.phone.tapToLogo)}`);
    const s = f.phone.second;
    console.log(s ? `    second visit${s.controlled ? ' (from the offline copy)' : ' (NOT from an offline copy)'}: tap to logo ${secs(s.tapToLogo)},` +
                    ` opening to logo ${secs(s.logo)}, ${mb(s.bytes)} over the network`
                  : '    second visit: logo not seen');
  }
  const dl = desktop && desktop.start_to_logo_shown;
  if (f.fast) {
    console.log(`  first visit, no network limit, CPU 1x: opening to the first logo frame ${secs(f.fast.logo)} (aim at most 1.5 s),` +
                ` to the menu ${secs(f.fast.menu)}, tap to logo ${secs(f.fast.tapToLogo)}` +
                (dl ? `; the desktop program, start to logo: ${secs(dl)}` : ''));
  }
  if (f.level) {
    for (const rate of [1, 4, 6]) {
      const r = f.level[rate];
      console.log(`  level 1 frames, CPU ${rate}x: ${frameLine(r)}` +
                  (rate === 1 && desktop && desktop.mean ? `; desktop: mean ${(desktop.mean * 1000).toFixed(2)} ms,` +
                   ` sd ${(desktop.deviation * 1000).toFixed(2)} ms, ${desktop.late ?? '?'} over 25 ms` : ''));
      if (r && r.wall > 0) {
        console.log(`    main thread busy: ${(100 * r.task / r.wall).toFixed(1)} % (scripts ${(100 * r.script / r.wall).toFixed(1)} %;` +
                    ` its processor time ${(100 * r.cpu / r.wall).toFixed(1)} % of a core)` +
                    ` over ${r.wall.toFixed(1)} s of level frames` + (rate === 1 ? ' (aim at most 10 %)' : '') +
                    (rate === 1 && desktop && desktop.cpu_share ? `; desktop: ${(desktop.cpu_share * 100).toFixed(1)} % of a core` : ''));
      }
    }
    const ref = f.reference;
    if (ref) {
      const share = (x) => `${(100 * x.task).toFixed(1)} % busy, ${(100 * x.cpu).toFixed(1)} % of a core`;
      console.log(`  the browser on its own, CPU 1x: an idle page ${share(ref.idle)}; a page that only puts a 640x480` +
                  ` picture on the same canvas 60 times a second ${share(ref.canvas)}`);
    }
    const prof = f.level[1] && f.level[1].profile;
    if (prof) {
      console.log(`  where level 1's time goes at CPU 1x (sampling profile, 8 s; files in ${opts.profile}):`);
      for (const line of prof.profile) console.log(`    ${line}`);
      console.log('  one second of level 1 in Chromium\'s trace, the page\'s main thread:');
      for (const line of prof.trace) console.log(`    ${line}`);
    }
  }
  if (f.stopped) console.log(`  the run stopped: ${f.stopped}`);
}

async function main() {
  const opts = args();
  if (opts.positional.length !== 2) {
    console.log('usage: node web_bench.mjs <web build folder> <native run folder> [--desktop figures.json] [--profile folder]' +
                ' [--seconds N] [--only first|level] [--against <other web build folder>]... [--rounds N]');
    return 2;
  }
  const [webFolder, runFolder] = opts.positional.map((p) => path.resolve(p));
  const folders = [webFolder, ...opts.against.map((p) => path.resolve(p))];
  const missing = folders.find((folder) => !fs.existsSync(path.join(folder, 'site', 'index.html')));
  if (!fs.existsSync(CHROMIUM) || missing) {
    console.log(`browser figures skipped: ${fs.existsSync(CHROMIUM) ? `no web build in ${missing}` : `no Chromium at ${CHROMIUM}`}`);
    return 0;
  }
  const l1 = readBmp(path.join(runFolder, 'img', 'l1.bmp'));
  if (!l1) {
    console.log(`no img/l1.bmp in ${runFolder}`);
    return 1;
  }
  const [r, g, b] = l1.pixel(0, 0);
  const menuCorner = (r << 16) | (g << 8) | b;
  const desktop = opts.desktop && fs.existsSync(opts.desktop) ? JSON.parse(fs.readFileSync(opts.desktop, 'utf8')) : null;

  const profileDir = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-bench-'));
  let browser = null;
  let status = 0;
  try {
    browser = await launchChromium(profileDir, { width: 1280, height: 800 });
    // Builds compared take turns, round after round, in the same browser.
    for (let round = 1; round <= opts.rounds; round++) {
      for (const folder of folders) {
        const f = await measureBuild(browser, folder, menuCorner, opts);
        const title = folders.length > 1 || opts.rounds > 1 ? `${folder}${opts.rounds > 1 ? ` (round ${round})` : ''}`
          : 'Browser build';
        report(f, title, desktop, opts);
        if (f.stopped) status = 1;
      }
    }
  } catch (e) {
    console.log(`the run stopped: ${e.stack || e}`);
    status = 1;
  } finally {
    if (browser) await browser.close().catch(() => {});
    fs.rmSync(profileDir, { recursive: true, force: true });
  }
  return status;
}

process.exit(await main());
