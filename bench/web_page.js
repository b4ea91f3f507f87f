// The demo's page in headless Chromium (WebGL on SwiftShader), played whole at each size asked
// for: frames per second (the median over one-second windows, and the slowest window), the
// longest gap between two presented frames after the first second, the time from the click to
// the first frame, and the program's size as a server sends it gzipped. Run by
// `make web-bench` as `node bench/web_page.js PAGE_FOLDER WxH...`.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { openPage } = require('../tests/web/browser');

const [folder, ...sizes] = process.argv.slice(2);

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[Math.floor(sorted.length / 2)] : NaN;
}

async function playWhole(width, height) {
  const page = await openPage(folder, 'index.html', { width, height, timeoutMs: 400000 });
  try {
    await page.tab.waitForFunction(() => document.getElementById('start').textContent === 'click to start');
    const clickedAt = await page.tab.evaluate(() => {
      document.getElementById('start').click();
      return performance.now();
    });
    await page.tab.waitForFunction(() => document.getElementById('start').textContent === 'play again',
                                   null, { timeout: page.remainingMs(), polling: 1000 });
    const times = await page.tab.evaluate(() => Module.frameTimes);
    const first = times[0];
    const windows = [];
    for (let t = first; t + 1000 <= times[times.length - 1]; t += 1000) {
      windows.push(times.filter((x) => x >= t && x < t + 1000).length);
    }
    let longest = 0;
    for (let i = 1; i < times.length; ++i) {
      if (times[i - 1] - first >= 1000) longest = Math.max(longest, times[i] - times[i - 1]);
    }
    const stalls = times.filter((t, i) => i > 0 && t - first >= 1000 && t - times[i - 1] > 100).length;
    return { size: `${width}x${height}`, frames: times.length, seconds: (times[times.length - 1] - first) / 1000,
             medianFps: median(windows), slowestFps: Math.min(...windows), longestGapMs: longest,
             stallsOver100Ms: stalls, clickToFirstFrameMs: first - clickedAt };
  } finally {
    await page.close();
  }
}

(async () => {
  const gzipped = ['yarvik.js', 'yarvik.wasm'].map(
    (name) => zlib.gzipSync(fs.readFileSync(path.join(folder, name)), { level: 9 }).length);
  console.log(`yarvik.js + yarvik.wasm gzipped: ${gzipped[0]} + ${gzipped[1]} = ` +
              `${((gzipped[0] + gzipped[1]) / 1048576).toFixed(2)} MB (target under 1.5 MB)`);
  for (const size of sizes.length ? sizes : ['640x480', '1280x960']) {
    const [width, height] = size.split('x').map(Number);
    const r = await playWhole(width, height);
    console.log(`${r.size}: ${r.frames} frames in ${r.seconds.toFixed(1)} s, median ${r.medianFps} fps ` +
                `(target at 640x480: at least 55), slowest second ${r.slowestFps} fps, longest gap after the ` +
                `first second ${r.longestGapMs.toFixed(0)} ms, ${r.stallsOver100Ms} gaps over 100 ms ` +
                `(target none), click to first frame ${r.clickToFirstFrameMs.toFixed(0)} ms (target under 1000)`);
  }
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
