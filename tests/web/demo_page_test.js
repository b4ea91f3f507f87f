// The demo's page in headless Chromium: it offers its start control, plays the demo with its
// sound after a click until Escape, draws frames on demand that match the capture tool's, and
// says so on the page when the program cannot be loaded. Run as
// `node demo_page_test.js PAGE_FOLDER CAPTURE_TOOL SCREENSHOT_FOLDER`.
'use strict';
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { test } = require('node:test');
const { openPage } = require('./browser');
const { decodePng } = require('./png');

const [folder, captureTool, shots] = process.argv.slice(2);
fs.mkdirSync(shots, { recursive: true });
// The largest mean difference per channel (0-255) between the browser's frame and the capture
// tool's: WebGL on SwiftShader through the ES 2 layer against desktop GL on llvmpipe differ in
// edges, wide lines and the glyphs' rounding, not in what is drawn where.
const FRAME_TOLERANCE = 4.0;

function save(name, png) {
  fs.writeFileSync(path.join(shots, name), png);
}

function meanLevel(image) {
  let sum = 0;
  for (let i = 0; i < image.data.length; i += image.channels) sum += image.data[i] + image.data[i + 1] + image.data[i + 2];
  return sum / (3 * image.width * image.height);
}

// The mean absolute difference of each of red, green and blue over the whole picture.
function meanDifference(a, b) {
  assert.equal(a.width, b.width);
  assert.equal(a.height, b.height);
  const sums = [0, 0, 0];
  for (let p = 0; p < a.width * a.height; ++p) {
    for (let c = 0; c < 3; ++c) sums[c] += Math.abs(a.data[p * a.channels + c] - b.data[p * b.channels + c]);
  }
  return sums.map((sum) => sum / (a.width * a.height));
}

const until = async (page, what, predicate, argument = null) => {
  await page.tab.waitForFunction(predicate, argument, { timeout: page.remainingMs() })
    .catch((error) => { throw new Error(`${what}: ${error.message}\nconsole:\n  ${page.lines.join('\n  ')}`); });
};

test('the page starts the demo on a click, plays it with sound and ends it on Escape', { timeout: 120000 }, async () => {
  const page = await openPage(folder, 'index.html', { timeoutMs: 110000 });
  try {
    await until(page, 'the start control', () => document.getElementById('start').textContent === 'click to start');
    const before = await page.screenshot();
    save('before-click.png', before);
    assert.ok(meanLevel(decodePng(before)) > 5, 'the page before the click shows its title and still');
    assert.equal(await page.tab.evaluate(() => Module.framesPresented || 0), 0, 'frames drawn before the click');

    const clicked = Date.now();
    await page.tab.click('#start', { timeout: page.remainingMs() });
    await until(page, 'the first frame', () => Module.framesPresented >= 1);
    console.log(`click to first frame: ${Date.now() - clicked} ms`);
    await until(page, 'the sound', () => Module.audioContext && Module.audioContext.state === 'running');
    const audioAt = await page.tab.evaluate(() => Module.audioContext.currentTime);
    const framesAt = await page.tab.evaluate(() => Module.framesPresented);
    await new Promise((resolve) => setTimeout(resolve, 3000));
    const [audioLater, framesLater, queued] = await page.tab.evaluate(
      () => [Module.audioContext.currentTime, Module.framesPresented, Module.audioSources.length]);
    assert.ok(audioLater - audioAt > 1.5, `the AudioContext's clock moved ${audioLater - audioAt} s in 3 s`);
    assert.ok(framesLater - framesAt >= 10, `${framesLater - framesAt} frames presented in 3 s`);
    assert.ok(queued >= 1, 'no sound queued ahead of the clock');
    save('playing.png', await page.screenshot());

    const linesBefore = page.lines.length;
    await page.press('Escape');
    await page.waitForLine(/^Exiting sanely\.\.\.$/, linesBefore);
    await until(page, 'the offer to play again', () => document.getElementById('start').textContent === 'play again' &&
                                                      !document.getElementById('cover').hidden);
    const stopped = await page.tab.evaluate(() => Module.framesPresented);
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.equal(await page.tab.evaluate(() => Module.framesPresented), stopped, 'frames went on after Escape');
    assert.equal(await page.tab.evaluate(() => Module.audioContext.state), 'suspended');
    save('ended.png', await page.screenshot());

    // Played again from the start, on a fresh canvas, with the sound running again.
    await page.tab.click('#start', { timeout: page.remainingMs() });
    await until(page, 'frames played again', (from) => Module.framesPresented >= from + 30, stopped);
    assert.equal(await page.tab.evaluate(() => Module.audioContext.state), 'running');
    const again = page.lines.length;
    await page.press('Escape');
    await page.waitForLine(/^Exiting sanely\.\.\.$/, again);
    assert.deepEqual(page.errors, []);
  } finally {
    await page.close();
  }
});

// The capture tool's frames and the page's at the same moments, 10 frames a second, seed 1: the
// knot at 12 s, the tunnel with the pen at 65 s, and with the pen's figure and the scroller's
// text at 85 s, all three from one run of the page, which goes on from each to the next.
test('frames drawn on demand match the capture tool\'s at 12 s, 65 s and 85 s', { timeout: 300000 }, async () => {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'yarvik-frame-'));
  const page = await openPage(folder, 'index.html?time=12&fps=10&seed=1', { timeoutMs: 280000 });
  try {
    for (const seconds of [12, 65, 85]) {
      const dir = path.join(out, String(seconds));
      execFileSync(captureTool, ['--seed', '1', '--fps', '10', '--size', '640x480', '--from', String(seconds),
                                 '--to', String(seconds + 0.05), '--out', dir], { stdio: 'ignore' });
      const native = decodePng(fs.readFileSync(path.join(dir, 'frame_000000.png')));
      if (seconds !== 12) await page.tab.evaluate((ms) => Module._webRenderFrame(ms, 10, 1), seconds * 1000);
      await page.waitForLine(new RegExp(`^frame ${seconds * 10} at ${seconds * 1000} ms$`));
      const shot = await page.screenshot();
      save(`frame-${seconds}s.png`, shot);
      const difference = meanDifference(decodePng(shot), native);
      console.log(`${seconds} s: mean difference per channel ${difference.map((d) => d.toFixed(2)).join(' ')}`);
      assert.ok(meanLevel(native) > 10, `the capture's frame at ${seconds} s is almost black`);
      assert.ok(difference.every((d) => d <= FRAME_TOLERANCE), `at ${seconds} s the page differs by ${difference}`);
    }
    assert.deepEqual(page.errors, []);
  } finally {
    await page.close();
    fs.rmSync(out, { recursive: true, force: true });
  }
});

test('without WebGL the page says why instead of offering to start', { timeout: 60000 }, async () => {
  const page = await openPage(folder, 'index.html', { timeoutMs: 50000, flags: ['--disable-webgl'] });
  try {
    await until(page, 'the message', () => !document.getElementById('message').hidden);
    assert.match(await page.tab.evaluate(() => document.getElementById('message').textContent), /needs WebGL/);
    assert.equal(await page.tab.evaluate(() => document.getElementById('start').hidden), true);
  } finally {
    await page.close();
  }
});

test('without yarvik.wasm the page says why instead of staying blank', { timeout: 60000 }, async () => {
  const copy = fs.mkdtempSync(path.join(os.tmpdir(), 'yarvik-page-'));
  try {
    for (const file of ['index.html', 'yarvik.js']) fs.copyFileSync(path.join(folder, file), path.join(copy, file));
    const page = await openPage(copy, 'index.html', { timeoutMs: 50000 });
    try {
      await until(page, 'the message', () => !document.getElementById('message').hidden);
      const text = await page.tab.evaluate(() => document.getElementById('message').textContent);
      assert.match(text, /yarvik\.wasm is missing/);
      assert.equal(await page.tab.evaluate(() => document.getElementById('start').hidden), true);
      save('missing-wasm.png', await page.screenshot());
    } finally {
      await page.close();
    }
  } finally {
    fs.rmSync(copy, { recursive: true, force: true });
  }
});
