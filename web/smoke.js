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
  '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`, '--window-size=500,600',
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
  f: { code: 'KeyF', keyCode: 70, key: 'f' },
  x: { code: 'KeyX', keyCode: 88, key: 'x' },
  ArrowUp: { code: 'ArrowUp', keyCode: 38, key: 'ArrowUp' },
  ArrowDown: { code: 'ArrowDown', keyCode: 40, key: 'ArrowDown' },
  ArrowLeft: { code: 'ArrowLeft', keyCode: 37, key: 'ArrowLeft' },
  ArrowRight: { code: 'ArrowRight', keyCode: 39, key: 'ArrowRight' },
};
async function key(name, type) {
  const k = KEYS[name];
  // A key down is a raw one (as a browser sends for keys that type nothing).
  await send('Input.dispatchKeyEvent', { type: type === 'keyDown' ? 'rawKeyDown' : type, key: k.key, code: k.code,
    windowsVirtualKeyCode: k.keyCode,
    nativeVirtualKeyCode: k.keyCode });
}
async function press(name, holdMs = 80) {
  await key(name, 'keyDown');
  await sleep(holdMs);
  await key(name, 'keyUp');
  await sleep(150);
}
async function hold(name, ms) {
  await key(name, 'keyDown');
  await sleep(ms);
  await key(name, 'keyUp');
  await sleep(100);
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
    // (while the page loads, asking about it may fail: that is a no, not yet)
    const v = await test().catch(() => false);
    if (v) return Date.now() - t0;
    if (Date.now() - t0 > timeoutMs) throw new Error('timed out waiting for ' + what);
    await sleep(100);
  }
}
// Pixels of the picture that are not black.
function lit(im) {
  let n = 0;
  for (let i = 0; i < im.px.length; i += 4) if (im.px[i] + im.px[i + 1] + im.px[i + 2] > 60) n++;
  return n;
}
// The picture once the hero has stood still long enough for the small status window
// (LV/H/M) to come up: two still pictures differ only by the few animated cells.
async function stillShot(name) {
  await sleep(2500);
  return shot(name);
}

// Loads the page and waits for the title; the times (ms after navigation) at which the
// first picture (the studio logo) and the title were on screen.
async function loadPage() {
  const t0 = Date.now();
  await send('Page.navigate', { url });
  const want = decodePng(fs.readFileSync(titlePng));
  let last = -1, logoMs = -1;
  await waitFor('the title', async () => {
    const now = await shot();
    if (logoMs < 0 && lit(now) > 0) logoMs = Date.now() - t0;
    return (last = differing(now, want)) === 0;
  }, 30000).catch(async (e) => {
    await shot('title-last');
    throw new Error(`${e.message} (${last} pixels differ from the native shot)`);
  });
  return { titleMs: Date.now() - t0, logoMs };
}

let step = 'start';
async function main() {
  await sleep(300);
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' }, false);
  ({ sessionId: session } = await send('Target.attachToTarget', { targetId, flatten: true }, false));
  await send('Emulation.setDeviceMetricsOverride', { width: 500, height: 600, deviceScaleFactor: 1, mobile: false });
  await send('Emulation.setFocusEmulationEnabled', { enabled: true });  // the page keeps the focus
  await send('Page.enable');
  await send('Runtime.enable');
  step = 'title';
  const { titleMs, logoMs } = await loadPage();
  await shot('title');
  console.log(`title on screen ${titleMs} ms after navigation (the logo from ${logoMs} ms); ` +
    '0 pixels differ from the native shot');

  step = 'new game';
  await press('Enter');  // the title menu, on 続きから
  await sleep(300);
  await shot('title-menu');
  await press('ArrowDown');
  await press('Enter');  // 初めから: the opening, hurried along with Enter
  step = 'opening';
  // Enter hurries the opening's texts along until the field is on screen: a lit picture
  // that holds still.
  let enters = 0;
  for (;;) {
    const x = await shot();
    await sleep(500);
    const y = await shot();
    if (lit(y) > 366 * 366 / 3 && differing(x, y) === 0) break;
    if (++enters > 100) {
      await shot('opening-last');
      throw new Error('the field never came');
    }
    await press('Enter');
  }
  step = 'walk';
  // Held, an arrow walks the hero and the field scrolls under him (he stays in the
  // middle): standing still before and after, nearly every cell of the picture differs.
  // Turned on the spot, only his own few cells would.
  let walked = false, moved = 0;
  for (let i = 0; i < 3 && !walked; i++) {
    const a = await stillShot();
    await hold(i % 2 ? 'ArrowRight' : 'ArrowLeft', 600);
    const b = await stillShot();
    moved = differing(a, b);
    walked = moved > 5000;
    if (!walked) await press('Enter');
  }
  if (!walked) {
    await shot('walk-last');
    throw new Error(`the hero did not walk (${moved} pixels differ)`);
  }
  await shot('walked');
  // The share of the browser's main thread the game takes while the hero walks: its
  // tasks (without this test's own DevTools commands) and its processor time, against
  // the time that passed.
  await hold('ArrowLeft', 2000);
  const metrics = async () => Object.fromEntries((await send('Performance.getMetrics')).metrics.map((m) => [m.name, m.value]));
  await send('Performance.enable');
  const m0 = await metrics();
  // (short holds: Granny may stand to his left and stop him there, so that each one to
  // the right takes him further than the one before took him back; long ones would take
  // him to the bed)
  for (let i = 0; i < 5; i++) {
    await hold('ArrowLeft', 600);
    await hold('ArrowRight', 600);
  }
  const m1 = await metrics();
  await hold('ArrowLeft', 2000);
  const wall = m1.Timestamp - m0.Timestamp;
  const share = (m1.TaskDuration - m0.TaskDuration - (m1.DevToolsCommandDuration - m0.DevToolsCommandDuration)) / wall;
  const cpu = (m1.ThreadTime - m0.ThreadTime) / wall;
  console.log(`a new game started and the hero walked; walking took ${(share * 100).toFixed(1)} % of the ` +
    `main thread (its processor time ${(cpu * 100).toFixed(1)} %)`);
  step = 'save';
  // The field as it is before the menu opens: when every window has closed again, and
  // after loading the save, the picture must be this one.
  const field = await stillShot('field-before-save');
  const sameField = (im) => differing(im, field) < 366 * 366 / 50;
  const saved = () => evaluate('FS.analyzePath("/game/save/1.vkd").exists');
  await press('z');  // the menu
  for (let i = 0; i < 3; i++) await press('ArrowDown');  // システム
  await press('Enter');
  await press('Enter');  // セーブ
  await press('Enter');  // slot 1
  // 1番にセーブします。よろしいですか？ はい: Enter until the file is there.
  for (let i = 0; i < 6 && !(await saved()); i++) {
    await press('Enter');
    await sleep(400);
  }
  await shot('saved');
  if (!(await saved())) throw new Error('no save file after saving');
  await press('Enter');  // セーブしました
  // Z closes the windows one by one, until the field is as it was.
  let closed = false;
  for (let i = 0; i < 6 && !closed; i++) {
    await press('z');
    closed = sameField(await stillShot());
  }
  await shot('field-after-save');
  if (!closed) throw new Error('the menu did not close after saving');

  step = 'reload';
  const reload = await loadPage();
  console.log(`reloaded: the title again after ${reload.titleMs} ms (the logo from ${reload.logoMs} ms)`);
  if (!(await evaluate('FS.analyzePath("/game/save/1.vkd").exists'))) throw new Error('the save did not outlive the reload');
  step = 'load';
  await press('Enter');  // the title menu, on 続きから
  await sleep(300);
  await press('Enter');  // 何番をロードしますか？
  await press('Enter');  // slot 1
  await sleep(300);
  await press('Enter');  // 1番をロードします。
  // (the last message may still want its key: Enter again until the field is back)
  let loaded = -1, back = false;
  for (let i = 0; i < 4 && !back; i++) {
    back = await waitFor('the saved field', async () => (loaded = differing(await shot(), field)) < 366 * 366 / 50, 5000)
      .then(() => true, () => false);
    if (!back) await press('Enter');
  }
  if (!back) {
    await shot('load-last');
    throw new Error(`the saved field did not come back (${loaded} pixels differ)`);
  }
  await shot('loaded');
  console.log(`the save outlived the reload and loaded (${loaded} pixels differ from the saved field)`);
  fs.writeFileSync(path.join(outDir, 'budgets.json'), JSON.stringify({ title_ms: titleMs, logo_ms: logoMs,
    reload_title_ms: reload.titleMs, walk_main_thread: share, walk_main_thread_cpu: cpu }));
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
