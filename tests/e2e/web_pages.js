#!/usr/bin/env node
// The browser build's pages in one of Debian's three browser engines, served from
// 127.0.0.1 by this script: what a person sees and does, what the page tells scripts
// (document.body.dataset.exitStatus), and a console with nothing in it. Chromium
// and Firefox are driven by puppeteer-core (Firefox over WebDriver BiDi), WebKitGTK
// by selenium-webdriver through its WebDriver; none of them downloads a browser.
//   web_pages.js chromium|firefox|webkit WEB_DIR   (webkit needs an X display)
'use strict';

const fs = require('node:fs');
const http = require('node:http');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const {spawn} = require('node:child_process');

// Before any script of a page: count the animation frames asked for, note when the
// first picture reached a canvas, and keep what the page tells the console (the
// engines whose driver cannot read the console are asked for it here).
const WATCH = `
window.__raf = window.requestAnimationFrame.bind(window);
window.__frames = 0;
window.requestAnimationFrame = function(callback) { window.__frames++; return window.__raf(callback); };
const put = CanvasRenderingContext2D.prototype.putImageData;
CanvasRenderingContext2D.prototype.putImageData = function() {
  if (window.__first_frame === undefined) window.__first_frame = performance.now();
  return put.apply(this, arguments);
};
window.__noise = [];
for (const level of ['warn', 'error']) {
  const said = console[level];
  console[level] = function(...args) { window.__noise.push(level + ': ' + args.join(' ')); return said.apply(this, args); };
}
addEventListener('error', event => window.__noise.push('error: ' + event.message));
addEventListener('unhandledrejection', event => window.__noise.push('unhandled rejection: ' + event.reason));
`;

// A phone's browser: full screen is for video only, as on an iPhone.
const NO_FULLSCREEN_API = `
delete Element.prototype.requestFullscreen;
for (const name of ['exitFullscreen', 'fullscreenElement', 'fullscreenEnabled']) delete Document.prototype[name];
`;

// A browser whose WebAssembly compiles no SIMD (Safari before 16.4): here none at all.
const NO_WEBASSEMBLY_SIMD = `
WebAssembly.validate = () => false;
for (const name of ['compile', 'compileStreaming', 'instantiate', 'instantiateStreaming'])
  WebAssembly[name] = () => Promise.reject(new WebAssembly.CompileError('SIMD is not supported'));
`;

// The canvas: lit pixels, whether pixel p equals pixel N - 1 - p throughout, a
// checksum, and whether every pixel is opaque. Read through a copy, so the page's own
// canvas is never read back (which the console would remark on).
const CANVAS = `
const canvas = document.getElementById('canvas');
const copy = document.createElement('canvas');
copy.width = canvas.width;
copy.height = canvas.height;
const context = copy.getContext('2d', {willReadFrequently: true});
context.drawImage(canvas, 0, 0);
const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
const n = canvas.width * canvas.height;
let lit = 0, symmetric = true, sum = 0, opaque = true;
for (let p = 0; p < n; ++p) {
  const a = 4 * p, b = 4 * (n - 1 - p);
  if (data[a] | data[a + 1] | data[a + 2]) ++lit;
  if (data[a] !== data[b] || data[a + 1] !== data[b + 1] || data[a + 2] !== data[b + 2]) symmetric = false;
  if (data[a + 3] !== 255) opaque = false;
  sum = (Math.imul(sum, 31) + data[a] + 7 * data[a + 1] + 13 * data[a + 2]) | 0;
}
return {lit: lit, symmetric: symmetric, sum: sum, opaque: opaque, width: canvas.width, height: canvas.height};
`;

// Where the window is and how its picture is scaled, in device pixels.
const LAYOUT = `
const box = id => document.getElementById(id).getBoundingClientRect();
const window_ = box('window'), canvas = box('canvas');
return {
  window: [window_.left, window_.top, window_.width, window_.height],
  viewport: [innerWidth, innerHeight],
  factor: canvas.width * devicePixelRatio / 320,
  factor_y: canvas.height * devicePixelRatio / 240,
  ratio: devicePixelRatio,
  cursor: getComputedStyle(document.getElementById('window')).cursor,
  scrolled: [scrollX, scrollY],
  zoom: visualViewport.scale
};
`;

function assert(condition, message) {
  if (!condition) throw new Error(message);
}

const sleep = milliseconds => new Promise(resolve => setTimeout(resolve, milliseconds));

// The pages' folder on 127.0.0.1, WATCH (and a case's own script) put first into
// every page; what was asked for and what was missing, kept.
class Server {
  constructor(root) {
    this.root = root;
    this.preamble = '';
    this.asked = [];
    this.missing = [];
    const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.css': 'text/css',
                   '.ico': 'image/x-icon', '.png': 'image/png', '.webmanifest': 'application/manifest+json'};
    this.server = http.createServer((request, response) => {
      const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname).slice(1) || 'index.html';
      this.asked.push(name);
      const file = path.join(root, path.normalize(name));
      fs.readFile(file, (error, body) => {
        if (error || !file.startsWith(root)) {
          this.missing.push(name);
          response.writeHead(404).end();
          return;
        }
        const type = types[path.extname(file)] || 'application/octet-stream';
        if (type === 'text/html')
          body = body.toString().replace('<head>', '<head>\n<script>' + WATCH + this.preamble + '</script>');
        response.writeHead(200, {'Content-Type': type, 'Cache-Control': 'no-store'}).end(body);
      });
    });
  }
  async start() {
    await new Promise(resolve => this.server.listen(0, '127.0.0.1', resolve));
    return 'http://127.0.0.1:' + this.server.address().port + '/';
  }
  stop() {
    this.server.close();
  }
}

// Chromium and Firefox through puppeteer-core. `context` is the page or a frame of it.
class Puppeteer {
  static async launch(engine, profile) {
    const puppeteer = require('puppeteer-core');
    const options = engine === 'chromium' ? {
      browser: 'chrome', executablePath: '/usr/bin/chromium', headless: true, userDataDir: profile,
      args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--no-first-run', '--disable-quic', '--window-size=1024,768'],
      defaultViewport: {width: 1024, height: 768}
    } : {
      browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true, userDataDir: profile,
      args: ['--width=1024', '--height=768'], defaultViewport: {width: 1024, height: 768}
    };
    const browser = await puppeteer.launch(options);
    return new Puppeteer(browser, engine, await browser.newPage());
  }
  constructor(browser, engine, page) {
    this.browser = browser;
    this.engine = engine;
    this.page = page;
    this.context = page;
    this.said = [];
    page.on('console', message => {
      if (['error', 'warn', 'warning', 'assert'].includes(message.type())) this.said.push(message.text());
    });
    page.on('pageerror', error => this.said.push(String(error)));
  }
  version() { return this.browser.version(); }
  async open(url) { await this.page.goto(url); }
  js(body, ...args) {
    return this.context.evaluate('(function() {' + body + '\n}).apply(null, ' + JSON.stringify(args) + ')');
  }
  title() { return this.context.title(); }
  click(selector) { return this.context.click(selector); }
  tap(selector) { return this.context.tap(selector); }
  async keys(key, alt = false) {
    if (alt) await this.page.keyboard.down('Alt');
    await this.page.keyboard.press(key);
    if (alt) await this.page.keyboard.up('Alt');
  }
  async inFrame(id, body) {
    this.context = await (await this.page.$('#' + id)).contentFrame();
    try {
      await body();
    } finally {
      this.context = this.page;
    }
  }
  async noise() {
    return this.said.splice(0);
  }
  // A phone: its screen, touch alone, and its browser's name.
  emulate(device) {
    return this.page.emulate(require('puppeteer-core').KnownDevices[device]);
  }
  // What keeps the page from a phone's home screen (its manifest, its icon).
  async installabilityErrors() {
    const session = await this.page.createCDPSession();
    const {installabilityErrors} = await session.send('Page.getInstallabilityErrors');
    await session.detach();
    return installabilityErrors.map(error => error.errorId);
  }
  // Two fingers spread apart around (x, y), then one swiping up.
  async pinch(x, y) {
    const session = await this.page.createCDPSession();
    const touch = (type, ...points) => session.send('Input.dispatchTouchEvent', {
      type: type, touchPoints: points.map(([x, y], id) => ({x: x, y: y, id: id}))
    });
    await touch('touchStart', [x - 20, y], [x + 20, y]);
    for (let step = 1; step <= 10; ++step) await touch('touchMove', [x - 20 - 10 * step, y], [x + 20 + 10 * step, y]);
    await touch('touchEnd');
    await touch('touchStart', [x, y + 100]);
    for (let step = 1; step <= 10; ++step) await touch('touchMove', [x, y + 100 - 30 * step]);
    await touch('touchEnd');
    await session.detach();
  }
  close() { return this.browser.close(); }
}

// The processes this script starts, ended with it whatever the way it ends.
const children = [];
process.on('exit', () => children.forEach(child => child.kill()));

function start(command, args, options) {
  const child = spawn(command, args, options);
  children.push(child);
  return child;
}

// An X server of our own, for the browser that needs one: its display's name.
async function startXvfb() {
  const xvfb = start('Xvfb', ['-displayfd', '3', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                     {stdio: ['ignore', 'ignore', 'ignore', 'pipe']});
  return new Promise((resolve, reject) => {
    let said = '';
    xvfb.stdio[3].on('data', data => {
      said += data;
      if (said.endsWith('\n')) resolve(':' + said.trim());
    });
    xvfb.on('exit', status => reject(new Error('Xvfb ended with ' + status)));
  });
}

async function freePort() {
  const probe = net.createServer();
  await new Promise(resolve => probe.listen(0, '127.0.0.1', resolve));
  const port = probe.address().port;
  await new Promise(resolve => probe.close(resolve));
  return port;
}

// WebKitGTK's MiniBrowser on a private Xvfb through WebKitWebDriver, with
// selenium-webdriver.
class Selenium {
  static async launch() {
    const {Builder, Capabilities} = require('selenium-webdriver');
    const display = await startXvfb();
    const port = await freePort();
    // Xvfb has no GPU: WebKitGTK's DMA-BUF renderer then composites through Mesa's
    // software GL at some 20 canvas pictures a second, its shared-memory one at the
    // screen's 60.
    const server = start('WebKitWebDriver', ['--port=' + port], {
      stdio: 'ignore', env: {...process.env, DISPLAY: display, WEBKIT_DISABLE_DMABUF_RENDERER: '1'}
    });
    const capabilities = new Capabilities();
    capabilities.set('browserName', 'MiniBrowser');
    const minibrowser = fs.readdirSync('/usr/lib/x86_64-linux-gnu').filter(name => name.startsWith('webkit2gtk-4'))
      .map(name => path.join('/usr/lib/x86_64-linux-gnu', name, 'MiniBrowser')).find(fs.existsSync);
    capabilities.set('webkitgtk:browserOptions', {binary: minibrowser, args: ['--automation']});
    for (let tries = 0;; ++tries) {
      try {
        const driver = await new Builder().usingServer('http://127.0.0.1:' + port).withCapabilities(capabilities).build();
        return new Selenium(driver);
      } catch (error) {
        if (tries === 50) throw error;
        await sleep(200);  // the driver's server is still starting
      }
    }
  }
  constructor(driver) {
    this.driver = driver;
    this.engine = 'webkit';
  }
  async version() {
    const capabilities = await this.driver.getCapabilities();
    return capabilities.get('browserName') + '/' + capabilities.get('browserVersion');
  }
  open(url) { return this.driver.get(url); }
  js(body, ...args) { return this.driver.executeScript(body, ...args); }
  title() { return this.driver.getTitle(); }
  async click(selector) {
    const {By} = require('selenium-webdriver');
    await (await this.driver.findElement(By.css(selector))).click();
  }
  async keys(key, alt = false) {
    const {Key} = require('selenium-webdriver');
    const named = {ArrowDown: Key.ARROW_DOWN, Escape: Key.ESCAPE, F10: Key.F10};
    let actions = this.driver.actions();
    if (alt) actions = actions.keyDown(Key.ALT);
    actions = actions.sendKeys(named[key] || key);
    if (alt) actions = actions.keyUp(Key.ALT);
    await actions.perform();
  }
  async inFrame(id, body) {
    const {By} = require('selenium-webdriver');
    await this.driver.switchTo().frame(await this.driver.findElement(By.id(id)));
    try {
      await body();
    } finally {
      await this.driver.switchTo().defaultContent();
    }
  }
  // WebDriver cannot read WebKit's console: what the page's scripts told it.
  async noise() {
    return (await this.js('const noise = window.__noise || []; window.__noise = []; return noise;'));
  }
  close() { return this.driver.quit(); }
}

class Pages {
  constructor(browser, server, base) {
    this.browser = browser;
    this.server = server;
    this.base = base;
  }

  js(body, ...args) { return this.browser.js(body, ...args); }

  async wait(condition, what, timeout = 30000) {
    const end = Date.now() + timeout;
    for (;;) {
      const value = await condition();
      if (value) return value;
      if (Date.now() > end) throw new Error('timed out waiting for ' + what);
      await sleep(50);
    }
  }

  // The page at `path`, `preamble` run before its own scripts.
  async open(path, preamble = '') {
    this.server.preamble = preamble;
    await this.browser.open(this.base + path);
  }

  // The status the page ended with; null while the program runs.
  async status() { return (await this.js('return document.body.dataset.exitStatus')) ?? null; }
  text(id) { return this.js('return document.getElementById(arguments[0]).textContent', id); }

  async endedWith(status) {
    await this.wait(async () => (await this.status()) !== null, 'the end');
    const now = await this.status();
    assert(now === status, 'ended with status ' + now + ', not ' + status);
    const text = await this.text('ended-text');
    assert(text === 'Ended with status ' + status, 'the page says ' + JSON.stringify(text));
  }

  canvas() { return this.js(CANVAS); }
  layout() { return this.js(LAYOUT); }

  async showsPicture() {
    const shown = await this.wait(async () => (shown => shown.lit ? shown : null)(await this.canvas()), 'a lit picture');
    assert(shown.width === 320 && shown.height === 240, 'the canvas is ' + shown.width + ' x ' + shown.height);
    assert(shown.symmetric, 'the picture is not point-symmetric');
    assert(shown.opaque, 'the picture is not opaque');
    return shown;
  }

  // Waits until the canvas has shown `count` pictures other than the present one.
  async newPictures(count) {
    const seen = [(await this.canvas()).sum];
    await this.wait(async () => {
      const status = await this.status();
      if (status !== null) throw new Error('the program ended with status ' + status);
      const now = (await this.canvas()).sum;
      if (now !== seen[seen.length - 1]) seen.push(now);
      return seen.length > count;
    }, count + ' new pictures');
  }

  // Waits until the program has asked for `count` more animation frames.
  async programPasses(count) {
    const start = await this.js('return window.__frames');
    await this.wait(async () => (await this.js('return window.__frames')) >= start + count,
                    count + ' passes of the program');
  }

  // Lets `count` animation frames of the page's own pass.
  refreshes(count) {
    return this.js('return new Promise(done => { let left = arguments[0];' +
                   'const next = () => --left ? window.__raf(next) : done(); window.__raf(next); })', count);
  }

  prompt() {
    return this.js("const p = document.getElementById('prompt'); return p.hidden ? null : p.textContent");
  }

  fullscreen() {
    return this.js('return Boolean(document.fullscreenElement)');
  }

  // After the end: no animation frame asked for, over a few of the page's own.
  async nothingRuns() {
    const before = await this.js('return window.__frames');
    await this.refreshes(5);
    assert((await this.js('return window.__frames')) === before, 'animation frames asked for after the end');
    assert(!(await this.fullscreen()), 'still in full screen after the end');
  }

  // The frame rates the title shows, read `count` times a second apart. The demo
  // counts whole seconds of the clock, and its first count (after a 0) covers half
  // a second to one and a half: the readings start a second and a half after it.
  async titleRates(count) {
    const rate = async () => Number((/^Vorlix Julia Rings FPS:([0-9]+)$/.exec(await this.browser.title()) || [])[1]);
    await this.wait(rate, 'a frame count in the title');
    const rates = [];
    await sleep(500);
    while (rates.length < count) {
      await sleep(1000);
      rates.push(await rate());
    }
    return rates;
  }
}

const cases = {
  async window_runs_and_keys(pages) {
    await pages.open('rings_window.html');
    await pages.wait(async () => /^Vorlix Julia Rings FPS:[1-9][0-9]*$/.test(await pages.browser.title()),
                     'a frame count');
    await pages.wait(async () => (await pages.text('title')) === (await pages.browser.title()), 'the caption');
    await pages.showsPicture();
    console.log('    page load to first frame: %d ms', Math.round(await pages.js('return window.__first_frame')));
    // The system menu's keys do not end the demo: two more pictures come after each.
    await pages.browser.keys('x', true);
    await pages.newPictures(2);
    await pages.browser.keys('F10');
    await pages.newPictures(2);
    assert((await pages.status()) === null, 'Alt+X or F10 ended the demo');
    // A key the demo takes ends it, and is not the page's too (an arrow would scroll).
    await pages.js("addEventListener('keydown', event => { window.__kept = event.defaultPrevented; })");
    await pages.browser.keys('ArrowDown');
    await pages.endedWith('0');
    assert((await pages.js('return window.__kept')) === true, 'the page took the arrow key too');
    await pages.nothingRuns();
  },

  // One frame a display refresh unless the page asks for none: the rings must not strobe.
  async paced_by_default(pages) {
    await pages.open('rings_window.html');
    const paced = await pages.titleRates(3);
    console.log('    title frame rate, paced: %s', paced.join(' '));
    // Never past the refresh, and at it at least once (a busy machine may drop some).
    assert(paced.every(rate => rate <= 75) && Math.max(...paced) >= 40, 'paced, the title reads ' + paced.join(', '));
    await pages.open('rings_window.html?vsync=0');
    const unpaced = await pages.titleRates(3);
    console.log('    title frame rate, ?vsync=0: %s', unpaced.join(' '));
    // Well past any refresh rate, yet within reach of a slow machine's busy browser.
    assert(Math.max(...unpaced) >= 150, 'unpaced, the title reads ' + unpaced.join(', '));
    await pages.browser.keys('q');
    await pages.endedWith('0');
  },

  async close_box(pages) {
    await pages.open('rings_window.html');
    await pages.showsPicture();
    await pages.browser.click('#close');
    await pages.endedWith('0');
    await pages.nothingRuns();
  },

  async other_format_and_scale(pages) {
    // A 16-bit desktop goes through its converter and back to the canvas's format.
    await pages.open('rings_window.html?format=rgb565&scale=2');
    await pages.showsPicture();
    // Each picture pixel a block of the whole part of devicePixelRatio x 2 device pixels.
    const layout = await pages.layout();
    assert(Math.abs(layout.factor - Math.max(1, Math.floor(layout.ratio * 2))) < 0.01,
           'each picture pixel is ' + layout.factor + ' device pixels at devicePixelRatio ' + layout.ratio);
    await pages.browser.keys(' ');
    await pages.endedWith('0');
  },

  async palette_desktop_refused(pages) {
    await pages.open('rings_window.html?format=pal8');
    await pages.endedWith('-1');
    await pages.nothingRuns();
  },

  // The fullscreen program after a click, Esc and back, and a key.
  async fullscreen_click_and_escape(pages) {
    await pages.open('rings_fullscreen.html');
    await pages.wait(async () => (await pages.prompt()) === 'Click for full screen', 'the request for a click');
    await pages.browser.click('#prompt');
    await pages.wait(() => pages.fullscreen(), 'full screen');
    await pages.showsPicture();
    await pages.newPictures(2);
    assert((await pages.layout()).cursor === 'none', 'the cursor shows in full screen');
    // Esc leaves full screen and makes the program inactive: it goes on (it asks for
    // animation frames) but presents nothing.
    await pages.browser.keys('Escape');
    await pages.wait(async () => !(await pages.fullscreen()) && (await pages.prompt()) === 'Click to return',
                     'the way back');
    await pages.programPasses(3);  // a frame flipped before the news may still show
    const frozen = (await pages.canvas()).sum;
    await pages.programPasses(10);
    assert((await pages.canvas()).sum === frozen, 'a frame was presented while inactive');
    assert((await pages.status()) === null, 'Esc ended the program');
    await pages.browser.click('#prompt');
    await pages.wait(() => pages.fullscreen(), 'full screen again');
    await pages.newPictures(2);
    await pages.browser.keys('q');
    await pages.endedWith('0');
    await pages.nothingRuns();
  },

  async fullscreen_forbidden(pages) {
    // A frame without permission for full screen: the mode switch fails, as a screen
    // without the mode makes it fail.
    await pages.open('index.html');
    await pages.js("const frame = document.createElement('iframe'); frame.id = 'frame';" +
                   "frame.allow = \"fullscreen 'none'\"; frame.src = 'rings_fullscreen.html';" +
                   'document.body.appendChild(frame);');
    await pages.wait(() => pages.js("return document.getElementById('frame').contentDocument?.readyState === 'complete'"),
                     'the frame');
    await pages.browser.inFrame('frame', () => pages.endedWith('-1'));
  },

  // Before anything loads, a browser that cannot compile the program says so.
  async unsupported_browser(pages) {
    pages.server.asked = [];
    await pages.open('rings_window.html', NO_WEBASSEMBLY_SIMD);
    await pages.wait(async () => (await pages.status()) === 'unsupported', 'the status unsupported');
    const text = await pages.text('ended-text');
    assert(text === 'This browser cannot run the demo: it needs WebAssembly with SIMD', 'the page says ' + text);
    assert(await pages.js("return !document.getElementById('ended').hidden && document.getElementById('window').hidden"),
           'the words are not what shows');
    assert(!pages.server.asked.some(name => name.startsWith('rings_window.')  && name !== 'rings_window.html' &&
                                            name !== 'rings_window.webmanifest'),
           'the program was loaded: ' + pages.server.asked.join(', '));
  },

  // A phone: touch alone, the Fullscreen API for video only (an iPhone's). The page
  // can go on its home screen; the fullscreen page takes the viewport as its screen
  // after a tap; the window page fits the phone and its close box answers a tap;
  // nothing scrolls or zooms.
  async phone(pages) {
    if (pages.browser.engine !== 'chromium') return 'only Chromium emulates a phone here';
    await pages.browser.emulate('iPhone 15');
    await pages.open('rings_fullscreen.html', NO_FULLSCREEN_API);
    await pages.wait(async () => (await pages.prompt()) === 'Click for full screen', 'the request for a tap');
    const unfit = await pages.browser.installabilityErrors();
    assert(unfit.length === 0, 'the page cannot go on a home screen: ' + unfit.join(', '));
    await pages.browser.tap('#prompt');
    const fills = async () => {
      const layout = await pages.layout();
      const [left, top, width, height] = layout.window;
      return left === 0 && top === 0 && width === layout.viewport[0] && height === layout.viewport[1] ? layout : null;
    };
    const filled = await pages.wait(fills, 'the window to fill the viewport');
    await pages.showsPicture();
    await pages.newPictures(2);
    // The largest whole factor that fits, the same both ways.
    const most = Math.floor(Math.min(filled.viewport[0] * filled.ratio / 320, filled.viewport[1] * filled.ratio / 240));
    assert(filled.factor === most && filled.factor_y === most,
           'the picture is scaled by ' + filled.factor + ' x ' + filled.factor_y + ', not ' + most);
    assert(filled.cursor === 'none', 'the cursor shows over the picture');
    await pages.browser.pinch(filled.viewport[0] / 2, filled.viewport[1] / 2);
    const after = await pages.layout();
    assert(after.zoom === 1 && after.scrolled[0] === 0 && after.scrolled[1] === 0,
           'a pinch and a swipe zoomed the page to ' + after.zoom + ' and scrolled it to ' + after.scrolled);
    // Esc (a keyboard on a tablet) gives the page back; a tap returns.
    await pages.browser.keys('Escape');
    await pages.wait(async () => (await pages.prompt()) === 'Click to return' && !(await fills()), 'the way back');
    await pages.browser.tap('#prompt');
    await pages.wait(fills, 'the viewport again');
    await pages.newPictures(2);
    await pages.browser.keys('q');
    await pages.endedWith('0');

    await pages.open('rings_window.html?scale=2', NO_FULLSCREEN_API);
    await pages.showsPicture();
    const window_ = await pages.layout();
    const [left, top, width, height] = window_.window;
    assert(left >= 0 && top >= 0 && left + width <= window_.viewport[0] && top + height <= window_.viewport[1],
           'the window (' + window_.window + ') is not all within the phone\'s viewport (' + window_.viewport + ')');
    await pages.browser.tap('#close');
    await pages.endedWith('0');
    await pages.nothingRuns();
  }
};

async function main() {
  const [engine, root] = process.argv.slice(2);
  if (!['chromium', 'firefox', 'webkit'].includes(engine) || !root) {
    console.error('usage: web_pages.js chromium|firefox|webkit WEB_DIR');
    return 2;
  }
  const server = new Server(path.resolve(root));
  const base = await server.start();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'web_pages.'));
  let browser;
  let passed = 0, failed = 0;
  try {
    browser = engine === 'webkit' ? await Selenium.launch() : await Puppeteer.launch(engine, profile);
    console.log('%s: %s', engine, await browser.version());
    const pages = new Pages(browser, server, base);
    for (const [name, run] of Object.entries(cases)) {
      const started = Date.now();
      try {
        server.missing = [];
        const skipped = await run(pages);
        const noise = (await browser.noise()).concat(server.missing.map(name => 'not found: ' + name));
        assert(noise.length === 0, 'the console says: ' + noise.join(' | '));
        console.log('%s %s (%s s)%s', skipped ? 'SKIP' : 'PASS', name, ((Date.now() - started) / 1000).toFixed(1),
                    skipped ? ': ' + skipped : '');
        passed += !skipped;
      } catch (error) {
        console.log('FAIL %s in %s: %s', name, engine, String(error.message || error).split('\n')[0]);
        failed += 1;
      }
    }
  } finally {
    if (browser) await browser.close();
    server.stop();
    fs.rmSync(profile, {recursive: true, force: true});
  }
  console.log('%s: %d passed, %d failed', engine, passed, failed);
  return failed ? 1 : 0;
}

main().then(code => process.exit(code), error => {
  console.error('web_pages: ' + (error.stack || error));
  process.exit(1);
});
