// pictures.mjs -- the game's pictures (its own 24-bit BMPs) and the checks
// that tell its screens apart in a 640x480 shot of the canvas: the logo on
// white, the menu with its buttons and ball, a region of text.
import fs from 'node:fs';

const KEY = [255, 0, 255];  // the pictures' transparent colour
const LOGO_AT = [180, 140];
const BUTTONS = [['start', 250], ['options', 300], ['credits', 350], ['exit', 400]];

function same(a, b, tolerance) {
  return Math.abs(a[0] - b[0]) <= tolerance && Math.abs(a[1] - b[1]) <= tolerance && Math.abs(a[2] - b[2]) <= tolerance;
}

const isWhite = (p) => Math.min(...p) >= 248;

// An uncompressed 24-bit BMP as { w, h, pixel(x, y) -> [r, g, b] } (top row
// first); null when the file is missing or not of that kind.
export function readBmp(file) {
  let blob;
  try {
    blob = fs.readFileSync(file);
  } catch (e) {
    return null;
  }
  if (blob.length < 54 || blob.toString('latin1', 0, 2) !== 'BM') return null;
  const offset = blob.readUInt32LE(10);
  const w = blob.readInt32LE(18);
  const h = blob.readInt32LE(22);
  if (blob.readUInt16LE(28) !== 24 || w <= 0 || h === 0) return null;
  const rows = Math.abs(h);
  const stride = (w * 3 + 3) & ~3;
  if (offset + stride * (rows - 1) + w * 3 > blob.length) return null;
  return {
    w,
    h: rows,
    pixel(x, y) {
      const row = h < 0 ? y : rows - 1 - y;
      const i = offset + row * stride + x * 3;
      return [blob[i + 2], blob[i + 1], blob[i]];
    },
  };
}

// The share of the picture's drawn (non-key) pixels that show unchanged at
// (left, top) in the shot; 0 when nothing would be drawn.
export function matchFraction(shot, picture, left, top) {
  let drawn = 0;
  let alike = 0;
  for (let y = 0; y < picture.h; y++) {
    for (let x = 0; x < picture.w; x++) {
      const p = picture.pixel(x, y);
      if (same(p, KEY, 0) || left + x < 0 || top + y < 0 || left + x >= shot.w || top + y >= shot.h) continue;
      drawn++;
      if (same(p, shot.pixel(left + x, top + y), 2)) alike++;
    }
  }
  return drawn ? alike / drawn : 0;
}

// null when the shot is the logo screen with the logo mostly faded in on
// white; otherwise what is wrong.
export function logoProblem(shot, logo) {
  if (!shot) return 'no picture on the canvas';
  const [lx, ly] = LOGO_AT;
  let outside = 0;
  let white = 0;
  for (let y = 0; y < 480; y += 3) {
    for (let x = 0; x < 640; x += 3) {
      if (x >= lx && x < lx + logo.w && y >= ly && y < ly + logo.h) continue;
      outside++;
      if (isWhite(shot.pixel(x, y))) white++;
    }
  }
  if (white < 0.98 * outside) return `the screen around the logo is not white (${white}/${outside} white)`;
  // Each logo pixel moves from white towards the picture as the fade goes on.
  let fromWhite = 0;
  let still = 0;
  for (let y = 0; y < logo.h; y += 2) {
    for (let x = 0; x < logo.w; x += 2) {
      const p = logo.pixel(x, y);
      if (same(p, KEY, 0)) continue;
      const q = shot.pixel(lx + x, ly + y);
      fromWhite += 765 - p[0] - p[1] - p[2];
      still += Math.abs(p[0] - q[0]) + Math.abs(p[1] - q[1]) + Math.abs(p[2] - q[2]);
    }
  }
  if (fromWhite === 0 || still > 0.25 * fromWhite) return `the logo has not faded in (${still} of ${fromWhite} still to go)`;
  return null;
}

// null when the shot is the menu: its background, its four buttons and the
// ball beside the button at `cursor`; otherwise what is wrong.
export function menuProblem(shot, pictures, cursor = 250) {
  if (!shot) return 'no picture on the canvas';
  let total = 0;
  for (let y = 0; y < 480; y += 4) {
    for (let x = 0; x < 640; x += 4) {
      const p = shot.pixel(x, y);
      total += p[0] + p[1] + p[2];
    }
  }
  const mean = total / (160 * 120 * 3);
  if (mean > 110) return `the menu background is not dark (mean level ${mean.toFixed(0)})`;
  const l1 = pictures.l1;
  const strip = { w: Math.min(240, l1.w), h: l1.h, pixel: (x, y) => l1.pixel(x, y) };
  if (matchFraction(shot, strip, 0, 0) < 0.98) return 'the left half of the background is not l1.bmp';
  for (const [name, y] of BUTTONS) {
    if (matchFraction(shot, pictures[name], 270, y) < 0.98) return `the ${name} button is not at (270, ${y})`;
  }
  if (matchFraction(shot, pictures.ball, 250, cursor + 5) < 0.98) return `the ball is not beside the button at y ${cursor}`;
  return null;
}

// The pixels of a rectangle of the shot, to compare two screens' text.
export function regionOf(shot, { x, y, w, h }) {
  if (!shot) return null;
  const out = [];
  for (let j = y; j < y + h; j++) for (let i = x; i < x + w; i++) out.push(...shot.pixel(i, j));
  return out;
}

export function sameRegion(a, b) {
  if (!a || !b || a.length !== b.length) return false;
  for (let i = 0; i < a.length; i++) if (Math.abs(a[i] - b[i]) > 2) return false;
  return true;
}

// A picture to look for in a shot, as the game draws it (its key colour
// left out): its drawn pixels and an anchor, the first pixel (in reading
// order) of the colour it has least of.
export function spriteOf(picture) {
  const pixels = [];
  const counts = new Map();
  for (let y = 0; y < picture.h; y++) {
    for (let x = 0; x < picture.w; x++) {
      const p = picture.pixel(x, y);
      if (same(p, KEY, 0)) continue;
      const c = (p[0] << 16) | (p[1] << 8) | p[2];
      pixels.push([x, y, c]);
      counts.set(c, (counts.get(c) || 0) + 1);
    }
  }
  let rare = null;
  for (const [c, n] of counts) if (rare === null || n < counts.get(rare)) rare = c;
  return { w: picture.w, h: picture.h, pixels, anchor: pixels.find((p) => p[2] === rare) };
}

// Run in the page (page.evaluate): level 1 as the canvas shows it now: the
// ball's top-left corner where the ball sprite shows (nine tenths of its
// pixels) between the planes, the middle heights of the left and the right
// plane (their blue), and whether the last page the program showed, within
// the last half second, was not a level frame (the get-ready picture after
// a lost ball). Needs the page's frame log.
export function level1View(ball) {
  const canvas = document.getElementById('canvas');
  if (!canvas || canvas.width === 0) return null;
  const small = document.createElement('canvas');
  small.width = 640;
  small.height = 480;
  const ctx = small.getContext('2d');
  ctx.drawImage(canvas, 0, 0, 640, 480);
  const d = ctx.getImageData(0, 0, 640, 480).data;
  const at = (x, y) => { const i = (y * 640 + x) * 4; return (d[i] << 16) | (d[i + 1] << 8) | d[i + 2]; };
  const PLANE = (53 << 16) | (112 << 8) | 216;
  const middles = [[0, 64], [576, 640]].map(([x0, x1]) => {
    let top = 480, bottom = -1;
    for (let y = 0; y < 480; y++) {
      for (let x = x0; x < x1; x++) {
        if (at(x, y) === PLANE) { top = Math.min(top, y); bottom = Math.max(bottom, y); }
      }
    }
    return bottom < 0 ? null : (top + bottom) / 2;
  });
  let found = null;
  const [ax, ay, colour] = ball.anchor;
  for (let y = ay; y < 480 && !found; y++) {
    for (let x = 40 + ax; x < 600 + ax && !found; x++) {
      if (at(x, y) !== colour) continue;
      const left = x - ax, top = y - ay;
      if (left < 0 || top < 0 || left + ball.w > 640 || top + ball.h > 480) continue;
      let alike = 0;
      for (const [px, py, c] of ball.pixels) if (at(left + px, top + py) === c) alike++;
      if (alike >= 0.9 * ball.pixels.length) found = [left, top];
    }
  }
  let overlay = false;
  try {
    // The log's last line, read from its end.
    const FS = window.valmorenGame.FS;
    const file = FS.open('/tmp/frames.log', 'r');
    const tail = new Uint8Array(160);
    const size = FS.stat('/tmp/frames.log').size;
    const got = FS.read(file, tail, 0, tail.length, Math.max(0, size - tail.length));
    FS.close(file);
    const lines = new TextDecoder().decode(tail.subarray(0, got)).trimEnd().split('\n');
    const last = lines[lines.length - 1].split(' ');
    overlay = last[3] !== 'L' && performance.now() / 1000 - Number(last[0]) < 0.5;
  } catch (e) {
    overlay = false;
  }
  return { ball: found, left: middles[0], right: middles[1], overlay };
}
