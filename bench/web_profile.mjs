// web_profile.mjs -- where the page's main thread spends level 1 (web_bench
// --profile): Chromium's sampling profile summed into the program's parts,
// each sample counted for the innermost frame a part claims, and one second
// of Chromium's trace summed by the kind of task. Function names come from a
// build with names (web-bench.sh --profile); without them the program's own
// functions show as numbered WebAssembly functions.

// The parts of the program, by the functions' names; the first part a frame
// falls in, looking from the innermost frame outwards, takes the sample.
const PARTS = [
  ['reading the clock', /get_now|performance\.now|^now$|clock_gettime|GetPerformanceCounter|GetTicks|sdl_clock|clock_now/],
  ['Vorbis decoder', /vorbis|^ov_|ogg_|mdct|drft|_vp_|floor[01]_|res[012]_|mapping0|decode_packed/],
  ['audio device (SDL: conversion and feed)', /AudioStream|Resample|SDL_Convert|HandleAudioProcess|FeedAudioDevice|onaudioprocess/],
  ['mixer and decoders', /valmoren::(mix|Mixer|Decoder|decoder|Channel|channel|wav_|WavReader)|audio_callback/],
  ['presenting (SDL renderer, canvas)', /SDL_UpdateTexture|SDL_Render|SDL_UpdateWindowSurface|Blit|SW_|putImageData|UpdateWindowFramebuffer|sdl_show_page|draw_page|show_page|web_show/],
  ['events and pads', /PumpEvents|PollEvent|getGamepads|Joystick|GameController|pump_events|events_if_older|services_look|pad_look|pads_look/],
  ['waits and turns (backend)', /web_sleep_until|web_turn|web_clock_read|nap_until|sleep_until|emscripten_sleep|quick_turn|handleSleep|Asyncify|asyncify|maybeStopUnwind|doRewind|callUserCallback|safeSetTimeout/],
  ['the game (rules, drawing, page copies)', /valmoren::/],
];

function partOf(frame) {
  if (frame.functionName === '(idle)') return 'idle';
  if (frame.functionName === '(program)') return "the browser's own work";
  if (frame.functionName === '(garbage collector)') return 'garbage collector';
  for (const [name, pattern] of PARTS) if (pattern.test(frame.functionName)) return name;
  return null;
}

function unnamed(frame) {
  if (/\.wasm|wasm-function|^\$?func\d+$|^\$/.test(frame.url + ' ' + frame.functionName)) return 'the program, unnamed functions';
  if (/valmoren\.js/.test(frame.url)) return "the program's JavaScript";
  if (frame.url) return "the page's JavaScript";
  return 'other';
}

function percent(part, whole) {
  return `${(100 * part / whole).toFixed(1).padStart(5)} %`;
}

// Lines of text: each part's share of all the time sampled, the time spent
// inside the audio callback and inside ASYNCIFY's JavaScript wherever it was
// counted, and the functions with the most samples of their own.
export function profileTable(profile) {
  const byId = new Map(profile.nodes.map((n) => [n.id, n]));
  const parent = new Map();
  for (const n of profile.nodes) for (const c of n.children || []) parent.set(c, n.id);
  const parts = new Map();
  const own = new Map();
  const inside = { 'inside the audio callback': 0, "inside ASYNCIFY's JavaScript (suspend and resume)": 0 };
  let total = 0;
  for (let i = 0; i < profile.samples.length; i++) {
    const dt = (profile.timeDeltas[i + 1] ?? profile.timeDeltas[i] ?? 0) / 1000;  // ms
    total += dt;
    const leaf = byId.get(profile.samples[i]);
    let part = null;
    let audio = false, asyncify = false;
    for (let id = leaf.id; id !== undefined; id = parent.get(id)) {
      const frame = byId.get(id).callFrame;
      part ??= partOf(frame);
      if (/onaudioprocess|HandleAudioProcess/.test(frame.functionName)) audio = true;
      if (/handleSleep|Asyncify|maybeStopUnwind|doRewind/.test(frame.functionName)) asyncify = true;
    }
    part ??= unnamed(leaf.callFrame);
    parts.set(part, (parts.get(part) || 0) + dt);
    if (audio) inside['inside the audio callback'] += dt;
    if (asyncify) inside["inside ASYNCIFY's JavaScript (suspend and resume)"] += dt;
    const name = leaf.callFrame.functionName || `(anonymous ${leaf.callFrame.url.split('/').pop()})`;
    own.set(name, (own.get(name) || 0) + dt);
  }
  const lines = [`${(total / 1000).toFixed(1)} s sampled`];
  for (const [name, t] of [...parts].sort((a, b) => b[1] - a[1])) lines.push(`${percent(t, total)}  ${name}`);
  for (const [name, t] of Object.entries(inside)) lines.push(`${percent(t, total)}  (${name}, counted above too)`);
  lines.push('functions with the most samples of their own:');
  for (const [name, t] of [...own].sort((a, b) => b[1] - a[1]).slice(0, 20)) {
    lines.push(`${percent(t, total)}  ${name.length > 90 ? name.slice(0, 87) + '...' : name}`);
  }
  return lines;
}

// Lines of text: the page's main thread in one second of Chromium's trace:
// how much of it its tasks took, and by what each task began with.
export function traceTable(trace) {
  const events = trace.traceEvents || trace;
  // The renderers' main threads; the page's is the one that did the most.
  let mine = [];
  for (const main of events.filter((e) => e.ph === 'M' && e.name === 'thread_name' && e.args?.name === 'CrRendererMain')) {
    const its = events.filter((e) => e.pid === main.pid && e.tid === main.tid && e.ph === 'X' && typeof e.dur === 'number');
    if (its.length > mine.length) mine = its;
  }
  if (!mine.length) return ['no main thread in the trace'];
  const tasks = mine.filter((e) => e.name === 'ThreadControllerImpl::RunTask' || e.name === 'RunTask');
  if (!tasks.length) return ['no tasks in the trace'];
  const start = Math.min(...mine.map((e) => e.ts));
  const end = Math.max(...mine.map((e) => e.ts + e.dur));
  const busy = tasks.reduce((a, e) => a + e.dur, 0);
  // What each task did first: the first event inside it, with a function's
  // or a timer's name where the trace gives one.
  const kinds = new Map();
  const sorted = mine.slice().sort((a, b) => a.ts - b.ts || b.dur - a.dur);
  let j = 0;
  for (const task of tasks.slice().sort((a, b) => a.ts - b.ts)) {
    while (j < sorted.length && sorted[j].ts < task.ts) j++;
    let kind = 'nothing traced';
    for (let k = j; k < sorted.length && sorted[k].ts < task.ts + task.dur; k++) {
      const e = sorted[k];
      if (e === task || e.name === 'ThreadControllerImpl::RunTask' || e.name === 'RunTask') continue;
      kind = e.name;
      const data = e.args?.data;
      if (data?.functionName) kind += ` ${data.functionName}`;
      else if (data?.type) kind += ` ${data.type}`;
      break;
    }
    const k = kinds.get(kind) || { count: 0, dur: 0 };
    k.count++;
    k.dur += task.dur;
    kinds.set(kind, k);
  }
  const span = end - start;
  const lines = [`${(span / 1e6).toFixed(2)} s traced: ${tasks.length} tasks, busy ${percent(busy, span)}`];
  for (const [kind, k] of [...kinds].sort((a, b) => b[1].dur - a[1].dur).slice(0, 12)) {
    lines.push(`${percent(k.dur, span)}  ${String(k.count).padStart(5)} tasks of ${(k.dur / k.count / 1000).toFixed(2)} ms: ${kind}`);
  }
  return lines;
}
