// glTF files converted by kq7 and drawn by the player, held against the same
// files in three.js, a viewer people use, in headless chromium: the same
// camera, time and size; the model's outline (intersection over union of the
// pixels that are not background) and its mean colour must agree.
//   node --test tests/web/viewer.test.mjs     (after building build/)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { readPng, writePng } from './png.mjs';
import { fixtures, defaultRig } from './viewer_fixtures.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const build = process.env.STAGWERK_DESKTOP_BUILD || path.join(root, 'build');
const kq7 = path.join(build, 'tools/kq7/kq7');
const player = path.join(build, 'stagwerk');
const three = path.join(here, 'node_modules/three');
// STAGWERK_VIEWER_SIZE=WxH draws at another size (docs/kq7-viewer.png is 320x240).
const [width, height] = (process.env.STAGWERK_VIEWER_SIZE || '160x120').split('x').map(Number);
// What the two may differ by: the player lights per vertex in display
// space without specular, three.js per pixel in linear space.
const leastOverlap = 0.9, colourTolerance = 12;

let server, base, browser, scratch;

const page = `<!doctype html><meta charset="utf-8"><body style="margin:0">
<script type="importmap">{"imports":{"three":"/three/build/three.module.js","three/addons/":"/three/examples/jsm/"}}</script>
<script type="module">
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
window.draw = async (name, at, rig, width, height) => {
  const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
  renderer.setPixelRatio(1);
  renderer.setSize(width, height, false);
  renderer.setClearColor(0x000000, 1);
  const gltf = await new GLTFLoader().loadAsync('/fixture/' + name + '.gltf');
  const camera = gltf.cameras[0];
  camera.aspect = width / height;
  camera.updateProjectionMatrix();
  if (gltf.animations.length) {
    const mixer = new THREE.AnimationMixer(gltf.scene);
    // Held at its end, as the player's last frame: a repeating clip would wrap to its start.
    mixer.clipAction(gltf.animations[0]).setLoop(THREE.LoopOnce).play().clampWhenFinished = true;
    mixer.setTime(at);
  }
  for (const light of rig.lights) {
    const d = new THREE.DirectionalLight(0xffffff, light.intensity);
    d.position.set(...light.from);
    camera.add(d, d.target);
  }
  gltf.scene.add(new THREE.AmbientLight(0xffffff, rig.ambient));
  gltf.scene.updateMatrixWorld(true);
  renderer.render(gltf.scene, camera);
  const gl = renderer.getContext();
  const pixels = new Uint8Array(width * height * 4);
  gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
  return Array.from(pixels);
};
document.title = 'READY';
</script>`;

function serve(request, response) {
  const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  if (url.includes('..')) return response.writeHead(400).end();
  if (url === '/') return response.writeHead(200, { 'Content-Type': 'text/html' }).end(page);
  if (url === '/favicon.ico') return response.writeHead(204).end();
  const file = url.startsWith('/three/') ? path.join(three, url.slice(7)) : path.join(scratch, url.slice(9));
  fs.readFile(file, (error, data) => {
    if (error) return response.writeHead(404).end();
    response.writeHead(200, { 'Content-Type': file.endsWith('.js') ? 'text/javascript' : 'application/octet-stream' });
    response.end(data);
  });
}

before(async () => {
  for (const file of [kq7, player]) assert.ok(fs.existsSync(file), `${file} is missing: build build/ first`);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'stagwerk-viewer-'));
  server = http.createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
  if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
});

// kq7 scene into a demo of its own, then the player's still at `at`.
function playerStill(name, at) {
  const demo = path.join(scratch, name + '-demo');
  const data = path.join(demo, 'data');
  const out = execFileSync(kq7, ['scene', path.join(scratch, name + '.gltf'), data], { encoding: 'utf8' });
  const line = out.split('\n').map((l) => l.trim()).find((l) => l.startsWith(name + ' '));
  assert.ok(line, `kq7 scene printed no script line for ${name}:\n${out}`);
  fs.writeFileSync(path.join(data, 'show.txt'), line + '\n');
  fs.writeFileSync(path.join(demo, 'defaultdemoconfig.txt'),
                   `window ${width} ${height} 32 1 1 none.ogg data textures scenes show\n`);
  const pgm = path.join(scratch, 'grey.pgm');
  fs.writeFileSync(pgm, Buffer.concat([Buffer.from('P5\n8 8\n255\n'), Buffer.alloc(64, 128)]));
  fs.mkdirSync(path.join(data, 'textures'), { recursive: true });
  execFileSync('cjpeg', ['-outfile', path.join(data, 'textures/PleaseWaitLoading.jpg'), pgm]);
  const still = path.join(scratch, name + '-player.png');
  execFileSync(player, ['--render', line.split(' ')[0], '--at', String(at), '--size', `${width}x${height}`,
                        '--out', still],
               { cwd: demo, env: { ...process.env, SDL_VIDEODRIVER: 'offscreen' }, stdio: 'ignore' });
  return readPng(still);
}

async function viewerStill(name, at, rig) {
  const tab = await browser.newPage();
  const errors = [];
  tab.on('pageerror', (e) => errors.push(String(e)));
  tab.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  await tab.goto(base);
  await tab.waitForFunction(() => document.title === 'READY');
  const rgba = await tab.evaluate((n, t, r, w, h) => window.draw(n, t, r, w, h), name, at, rig, width, height);
  await tab.close();
  assert.deepEqual(errors, [], name);
  // GL rows are bottom first; the PNG's top first.
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      for (let c = 0; c < 3; ++c) rgb[(y * width + x) * 3 + c] = rgba[((height - 1 - y) * width + x) * 4 + c];
    }
  }
  return { width, height, rgb };
}

function sideBySide(a, b, file) {
  const rgba = new Uint8Array(2 * width * height * 4);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < 2 * width; ++x) {
      const p = x < width ? a : b, i = y * width + (x % width), o = (y * 2 * width + x) * 4;
      rgba.set([p.rgb[3 * i], p.rgb[3 * i + 1], p.rgb[3 * i + 2], 255], o);
    }
  }
  writePng(file, 2 * width, height, rgba);
}

function compare(a, b) {
  const lit = (p, i) => Math.max(p.rgb[3 * i], p.rgb[3 * i + 1], p.rgb[3 * i + 2]) > 10;
  let both = 0, either = 0;
  const sums = [[0, 0, 0], [0, 0, 0]];
  for (let i = 0; i < width * height; ++i) {
    const inA = lit(a, i), inB = lit(b, i);
    if (inA || inB) ++either;
    if (!(inA && inB)) continue;
    ++both;
    for (let c = 0; c < 3; ++c) sums[0][c] += a.rgb[3 * i + c], sums[1][c] += b.rgb[3 * i + c];
  }
  const mean = sums.map((s) => s.map((v) => v / Math.max(both, 1)));
  return { overlap: both / Math.max(either, 1), mean, difference: Math.max(...[0, 1, 2].map((c) => Math.abs(mean[0][c] - mean[1][c]))) };
}

for (const fixture of fixtures) {
  test(`${fixture.name}: the player's still matches three.js's`, async () => {
    fs.writeFileSync(path.join(scratch, fixture.name + '.gltf'), JSON.stringify(fixture.gltf(scratch)));
    for (const at of fixture.times) {
      const ours = playerStill(fixture.name, at);
      const theirs = await viewerStill(fixture.name, at, fixture.rig ?? defaultRig);
      const r = compare(ours, theirs);
      // STAGWERK_VIEWER_STILLS=DIR keeps both pictures, side by side.
      if (process.env.STAGWERK_VIEWER_STILLS) sideBySide(ours, theirs, path.join(process.env.STAGWERK_VIEWER_STILLS, `${fixture.name}-${at}.png`));
      const round = (v) => v.map((x) => Math.round(x));
      console.log(`${fixture.name} at ${at} s: outline overlap ${r.overlap.toFixed(3)}, mean colour ` +
                  `${round(r.mean[0])} against ${round(r.mean[1])} (largest difference ${r.difference.toFixed(1)})`);
      assert.ok(r.overlap >= leastOverlap, `${fixture.name} at ${at}: outline overlap ${r.overlap.toFixed(3)}`);
      assert.ok(r.difference <= colourTolerance, `${fixture.name} at ${at}: mean colour differs by ${r.difference.toFixed(1)}`);
    }
  });
}
