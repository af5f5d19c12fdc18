// The page around the player: fetches the demo's files into the module's
// file system, shows the loading picture, waits for a click (browsers start
// sound only after one), plays, and shows the end screen. With
//   ?config=PATH                 another demo (its configuration file, or
//                                the folder holding defaultdemoconfig.txt)
//   ?sync-rows=N                 sync track rows per second (default 8)
//   ?render=SCENE&at=S&camera=N&size=WxH
//                                one still, as --render draws it; the title
//                                then reads STILL READY or Loading Error: ...
'use strict';

// Everything but Module stays inside: the module's own script declares
// globals of its own (run, among others).
var Module = (() => {
const query = new URLSearchParams(location.search);
const statusLine = document.getElementById('status');
const syncRows = Number(query.get('sync-rows')) || 0;
const timings = { opened: performance.now() };

function setStatus(text) { statusLine.textContent = text; statusLine.hidden = !text; }

function showMessage(caption, text, kind) {
  const box = document.createElement('div');
  box.className = 'message ' + kind;
  const head = document.createElement('b');
  head.textContent = caption;
  box.append(head, text);
  document.getElementById('messages').append(box);
  if (caption === 'Loading Error') {
    document.title = 'Loading Error: ' + text;
    setStatus('');
    document.getElementById('start').hidden = true;
  }
}

function loadingError(text) {
  console.error('Loading Error: ' + text);
  showMessage('Loading Error', text, 'error');
}

// The configuration file and the folder whose files the demo reads.
function demoLocation() {
  let path = query.get('config') || 'demo/defaultdemoconfig.txt';
  const last = path.replace(/\/+$/, '').split('/').pop();
  if (!last.includes('.')) path = path.replace(/\/*$/, '/') + 'defaultdemoconfig.txt';
  const cut = path.lastIndexOf('/');
  return { folder: cut < 0 ? '.' : path.slice(0, cut), config: path.slice(cut + 1) };
}

// The demo folder's files: its files.txt (build-web.sh writes one), else
// the folder listings a plain static server gives.
async function listFiles(folder) {
  const manifest = await fetch(folder + '/files.txt');
  if (manifest.ok) {
    return (await manifest.text()).split('\n').map((l) => l.trim()).filter((l) => l && !l.startsWith('#'));
  }
  const found = [];
  async function visit(sub) {
    const response = await fetch(folder + '/' + sub);
    const type = response.headers.get('content-type') || '';
    if (!response.ok || !type.includes('html')) throw new Error('no files.txt and no folder listing');
    const html = await response.text();
    for (const m of html.matchAll(/href="([^"?#]+)"/g)) {
      const name = decodeURIComponent(m[1]);
      if (name.startsWith('/') || name.startsWith('..') || name.includes('://')) continue;
      if (name.endsWith('/')) await visit(sub + name);
      else found.push(sub + name);
    }
  }
  await visit('');
  return found;
}

async function fetchDemo(folder) {
  let names;
  try {
    names = await listFiles(folder);
  } catch (e) {
    throw new Error('Cannot list the demo folder ' + folder + ': ' + e.message);
  }
  let done = 0;
  FS.mkdir('/demo');
  // A missing file is left out: the loader then names it, as on the desktop.
  await Promise.all(names.map(async (name) => {
    const response = await fetch(folder + '/' + name.split('/').map(encodeURIComponent).join('/'));
    if (response.ok) {
      const bytes = new Uint8Array(await response.arrayBuffer());
      let dir = '/demo';
      for (const part of name.split('/').slice(0, -1)) {
        dir += '/' + part;
        try { FS.mkdir(dir); } catch (e) { /* there already */ }
      }
      FS.writeFile('/demo/' + name, bytes);
    }
    setStatus('Loading… ' + ++done + ' of ' + names.length + ' files');
  }));
  FS.chdir('/demo');
}

// Lets the browser show what was drawn before the next long step runs.
function nextFrame() { return new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0))); }

async function start() {
  const demo = demoLocation();
  if (location.protocol === 'file:') {
    loadingError('Open the page over http (scripts/serve-web.sh): a browser fetches no demo files from file://');
    return;
  }
  try {
    await fetchDemo(demo.folder);
  } catch (e) {
    loadingError(e.message);
    return;
  }
  const render = query.get('render');
  if (render !== null) {
    document.body.classList.add('still');
    const size = (query.get('size') || '').match(/^(\d+)x(\d+)$/);
    const width = size ? Number(size[1]) : 0, height = size ? Number(size[2]) : 0;
    setStatus('');
    if (Module.ccall('stagwerk_open', 'number', ['string', 'number', 'number', 'number'],
                     [demo.config, 1, width, height]) !== 0) return;
    if (Module._stagwerk_load(syncRows) !== 0) return;
    Module.ccall('stagwerk_still', 'number', ['string', 'number', 'number'],
                 [render, Number(query.get('at') || 0), Number(query.get('camera') || 1)]);
    return;
  }
  if (Module.ccall('stagwerk_open', 'number', ['string', 'number', 'number', 'number'],
                   [demo.config, 0, 0, 0]) !== 0) return;
  timings.loadingPicture = performance.now();
  await nextFrame();
  if (Module._stagwerk_load(syncRows) !== 0) return;
  timings.loaded = performance.now();
  setStatus('');
  const start = document.getElementById('start');
  start.hidden = false;
  start.addEventListener('click', async () => {
    start.hidden = true;
    timings.clicked = performance.now();
    await Module.stagwerkAudio.unlock();
    Module._stagwerk_play();
  }, { once: true });
  document.getElementById('again').addEventListener('click', (event) => {
    event.stopPropagation();
    document.getElementById('end').hidden = true;
    Module._stagwerk_play();
  });
}

return {
  print: (text) => console.log(text),
  // The player's stderr: warnings, not errors; errors come as messages.
  printErr: (text) => console.warn(text),
  canvas: document.getElementById('canvas'),
  stagwerkPage: {
    timings,
    message: showMessage,
    firstFrame() {
      timings.firstFrame = performance.now();
      console.log('stagwerk: first frame ' + (timings.firstFrame - timings.opened).toFixed(0) +
                  ' ms after opening the page (' + (timings.firstFrame - timings.clicked).toFixed(0) +
                  ' ms after the click; loaded in ' + (timings.loaded - timings.opened).toFixed(0) + ' ms)');
    },
    ended(escaped) {
      document.getElementById('end').hidden = false;
      document.title = escaped ? 'Stagwerk: stopped' : 'Stagwerk: the end';
    },
  },
  onRuntimeInitialized: () => { start(); },
  onAbort: (what) => loadingError('The player stopped: ' + what),
};
})();
