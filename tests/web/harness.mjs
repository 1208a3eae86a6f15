// harness.mjs -- what the browser test and the browser benchmark share: the
// page server of `make web-serve`, Debian's Chromium started headless through
// the DevTools client, and the program's frame log read and timed.
import { spawn } from 'node:child_process';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const HERE = path.dirname(fileURLToPath(import.meta.url));
export const PROJECT = path.resolve(HERE, '..', '..');
export const CHROMIUM = process.env.VALMOREN_CHROMIUM || '/usr/bin/chromium';
export const TARGET = 1 / 60;

export function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// The page server of `make web-serve` on a site folder, on a port the system
// picks unless one is given; `pretty` answers index.html with a redirect to
// its folder.
export function startServer(site, port = 0, pretty = false) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', [path.join(PROJECT, 'tools', 'web', 'serve.py'), site, String(port),
                                     ...(pretty ? ['--pretty-urls'] : [])], {
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

export async function stopServer(server) {
  if (server.exitCode !== null || server.signalCode !== null) return;
  const gone = new Promise((resolve) => server.once('exit', resolve));
  server.kill();
  await gone;
}

// Headless Chromium with a profile folder of its own and nothing that talks
// to anyone but the page's server.
export async function launchChromium(profile, size, extraArgs = []) {
  const { default: puppeteer } = await import('puppeteer-core');
  return puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    protocolTimeout: 300000,
    args: ['--no-sandbox', '--disable-gpu', '--use-gl=swiftshader', '--enable-unsafe-swiftshader',
           '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--autoplay-policy=user-gesture-required',
           `--window-size=${size.width},${size.height}`, ...extraArgs],
  });
}

// Lines of the program's frame log ("?frame-log" in the page's address) as
// [present time (s since the page began loading), corner pixel, centre
// pixel, ends a level frame].
export function parsePresents(text) {
  return text.split('\n').filter((l) => l).map((l) => {
    const p = l.split(' ');
    return [Number(p[0]), parseInt(p[1], 16), parseInt(p[2], 16), p[3] === 'L'];
  });
}

// The first present of the logo screen where the logo shows at the centre.
export function firstLogoFrame(entries) {
  const e = entries.find(([, corner, centre]) => corner === 0xffffff && centre !== 0xffffff);
  return e ? e[0] : null;
}

// Waits until `count()` (how many pages the program has shown, at least
// `least`) has not changed for `still` seconds, as on a screen that waits for
// a key; false when that does not happen within `seconds`.
export async function waitStill(count, still, seconds, least = 0) {
  const until = Date.now() + seconds * 1000;
  let seen = await count();
  let since = Date.now();
  while (Date.now() < until) {
    await sleep(100);
    const now = await count();
    if (now !== seen) {
      seen = now;
      since = Date.now();
    } else if (seen >= least && Date.now() - since >= still * 1000) {
      return true;
    }
  }
  return false;
}

// Gaps between a level frame and the level frame shown right after it; with
// `pictures`, also between two pages shown over the level (its get-ready
// picture), never across the change from one to the other.
export function levelGaps(entries, count = Infinity, pictures = false) {
  const gaps = [];
  for (let i = 1; i < entries.length && gaps.length < count; i++) {
    const [before, after] = [entries[i - 1][3], entries[i][3]];
    if (pictures ? before === after : before && after) gaps.push(entries[i][0] - entries[i - 1][0]);
  }
  return gaps;
}

// Mean and spread of frame gaps (seconds), and how many are longer than `late`.
export function frameFigures(gaps, late = 1.5 * TARGET) {
  const mean = gaps.reduce((a, b) => a + b, 0) / gaps.length;
  const deviation = Math.sqrt(gaps.reduce((a, g) => a + (g - mean) ** 2, 0) / gaps.length);
  return { count: gaps.length, mean, deviation, late: gaps.filter((g) => g > late).length };
}
