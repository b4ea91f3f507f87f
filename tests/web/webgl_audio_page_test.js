// The footing of the browser tests, on the page of webgl_audio_page.cpp: headless Chromium
// shows the page's WebGL 1 frames in its screenshots and keeps drawing them, runs its sound only
// after a click, and hands it the Escape key. Run as `node webgl_audio_page_test.js FOLDER`,
// FOLDER holding the built page.
'use strict';
const assert = require('node:assert/strict');
const { test } = require('node:test');
const { openPage } = require('./browser');
const { decodePng, pixelAt } = require('./png');

const folder = process.argv[2];
const GREY = [32, 32, 32];
const BLUE = [51, 102, 153];

function assertColour(image, x, y, expected, what) {
  const actual = pixelAt(image, x, y);
  assert.ok(actual.every((value, i) => Math.abs(value - expected[i]) <= 1),
            `${what}: (${actual}) where (${expected}) was drawn`);
}

test('the page draws frames, starts its sound on a click and stops on Escape', { timeout: 100000 }, async () => {
  const page = await openPage(folder, 'webgl_audio_page.html', { width: 400, height: 300, timeoutMs: 90000 });
  try {
    console.log(`chromium started in ${page.browserStartMs} ms`);
    await page.waitForLine(/^page: WebGL 1 context on the canvas$/);
    await page.waitForLine(/^audio: suspended$/);
    await page.waitForLine(/^page: frames 30$/);
    const before = decodePng(await page.screenshot());
    assertColour(before, 160, 120, GREY, 'the canvas before the click');
    assertColour(before, 319, 239, GREY, "the canvas's last pixel");
    assertColour(before, 360, 280, [0, 0, 0], 'the page beside the canvas');

    await page.click(160, 120);
    const running = page.lines.indexOf(await page.waitForLine(/^audio: running$/));
    await page.waitForLine(/^page: frames \d+$/, running);
    assertColour(decodePng(await page.screenshot()), 160, 120, BLUE, 'the canvas once the sound runs');

    await page.press('Escape');
    const stopped = await page.waitForLine(/^page: stopped after \d+ frames$/);
    assert.ok(Number(stopped.match(/\d+/)[0]) > 30, stopped);
    const linesAtStop = page.lines.length;
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.deepEqual(page.lines.slice(linesAtStop).filter((line) => line.startsWith('page: frames')), [],
                     'frames went on after Escape');
    assert.deepEqual(page.errors, []);
  } finally {
    await page.close();
  }
});
