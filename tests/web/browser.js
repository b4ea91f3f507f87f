// Drives the system's Chromium for the browser build's tests: serves a folder on a free port
// of this machine, opens one of its pages in headless Chromium (WebGL and Web Audio on
// SwiftShader, a fresh profile, nothing sent to the network), gathers the console, and gives
// the test clicks, key presses and screenshots, all under one deadline.
'use strict';
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { chromium } = require('playwright-core');

const CHROMIUM = '/usr/bin/chromium';
const CHROMIUM_FLAGS = [
  // WebGL on the CPU: ANGLE over SwiftShader, as on a machine without a GPU.
  '--headless=new', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  // Keeps Chromium off the network: no updates, sync, metrics or first-run pages.
  '--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--no-first-run', '--disable-quic',
  // Colours as the page wrote them, so screenshots compare with frames rendered elsewhere.
  '--force-color-profile=srgb',
];
const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.png': 'image/png', '.json': 'application/json',
};

// Serves the files under `root` (and nothing outside it) on 127.0.0.1 at a free port.
async function serveFolder(root) {
  const base = path.resolve(root);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(base, path.normalize(name));
    const inside = file.startsWith(base + path.sep);
    fs.readFile(file, (error, body) => {
      if (!inside || error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
      response.end(body);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, origin: `http://127.0.0.1:${server.address().port}` };
}

// Opens `page` (a path under `root`, with any query) at width x height CSS pixels. The
// session's `lines` are the console's lines in order, `errors` its errors and the page's
// uncaught exceptions; every wait gives up at the deadline, `timeoutMs` from now, and
// throws, as the test should.
async function openPage(root, page, { width = 640, height = 480, timeoutMs = 60000 } = {}) {
  const deadline = Date.now() + timeoutMs;
  const started = Date.now();
  const { server, origin } = await serveFolder(root);
  let browser;
  try {
    browser = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_FLAGS,
                                      timeout: timeoutMs });
  } catch (error) {
    server.close();
    throw error;
  }
  const browserStartMs = Date.now() - started;
  const context = await browser.newContext({ viewport: { width, height }, deviceScaleFactor: 1 });
  const tab = await context.newPage();
  const session = {
    tab, lines: [], errors: [], browserStartMs,
    remainingMs() { return Math.max(0, deadline - Date.now()); },
    // Resolves with the first console line (from `from` on) that matches `pattern`.
    async waitForLine(pattern, from = 0) {
      for (;;) {
        const index = session.lines.findIndex((line, i) => i >= from && pattern.test(line));
        if (index >= 0) return session.lines[index];
        if (Date.now() > deadline) {
          throw new Error(`no console line matching ${pattern}; the console said:\n  ${session.lines.join('\n  ')}`);
        }
        await new Promise((resolve) => setTimeout(resolve, 20));
      }
    },
    click(x, y) { return tab.mouse.click(x, y); },
    press(key) { return tab.keyboard.press(key); },
    screenshot() { return tab.screenshot({ timeout: session.remainingMs() }); },
    async close() {
      await browser.close();
      server.close();
    },
  };
  tab.on('console', (message) => {
    session.lines.push(message.text());
    if (message.type() === 'error') session.errors.push(message.text());
  });
  tab.on('pageerror', (error) => session.errors.push(String(error)));
  try {
    await tab.goto(`${origin}/${page}`, { timeout: session.remainingMs() });
  } catch (error) {
    await session.close();
    throw error;
  }
  return session;
}

module.exports = { openPage, serveFolder };
