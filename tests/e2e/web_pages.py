#!/usr/bin/python3
# The browser build's pages in Debian's headless Chromium, driven through WebDriver and
# served from 127.0.0.1 by this script: what a person sees and does, what the page tells
# scripts (document.body.dataset.exitStatus), and a console with nothing in it.
#   web_pages.py WEB_DIR
import functools
import http.server
import re
import shutil
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.common.exceptions import TimeoutException, WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

# Before any page script: count the animation frames asked for, and note when the
# first picture reached a canvas.
WATCH = """
window.__raf = window.requestAnimationFrame.bind(window);
window.__frames = 0;
window.requestAnimationFrame = function(callback) { window.__frames++; return window.__raf(callback); };
const put = CanvasRenderingContext2D.prototype.putImageData;
CanvasRenderingContext2D.prototype.putImageData = function() {
  if (window.__first_frame === undefined) window.__first_frame = performance.now();
  return put.apply(this, arguments);
};
"""

# The canvas: lit pixels, whether pixel p equals pixel N - 1 - p throughout, a
# checksum, and whether every pixel is opaque. Read through a copy, so the page's own
# canvas is never read back (which the console would remark on).
CANVAS = """
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
"""


class Pages:
    def __init__(self, driver, base):
        self.driver = driver
        self.base = base

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, condition, what, timeout=30):
        try:
            return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(lambda _: condition())
        except TimeoutException:
            raise AssertionError('timed out waiting for ' + what) from None

    def open(self, path):
        self.driver.get_log('browser')  # what earlier pages left
        self.driver.get(self.base + path)

    def status(self):
        return self.js('return document.body.dataset.exitStatus')

    def ended_with(self, status):
        self.wait(lambda: self.status() is not None, 'the end')
        assert self.status() == status, 'ended with status %s, not %s' % (self.status(), status)
        text = self.driver.find_element(By.ID, 'ended-text').text
        assert text == 'Ended with status ' + status, 'the page says %r' % text

    def canvas(self):
        return self.js(CANVAS)

    def shows_picture(self):
        shown = self.wait(lambda: (lambda c: c if c['lit'] else None)(self.canvas()), 'a lit picture')
        assert (shown['width'], shown['height']) == (320, 240), 'the canvas is %(width)d x %(height)d' % shown
        assert shown['symmetric'], 'the picture is not point-symmetric'
        assert shown['opaque'], 'the picture is not opaque'
        return shown

    def new_pictures(self, count):
        """Waits until the canvas has shown count pictures other than the present one."""
        seen = [self.canvas()['sum']]

        def changed():
            if self.status() is not None:
                raise AssertionError('the program ended with status ' + self.status())
            now = self.canvas()['sum']
            if now != seen[-1]:
                seen.append(now)
            return len(seen) > count
        self.wait(changed, '%d new pictures' % count)

    def program_passes(self, count):
        """Waits until the program has asked for count more animation frames."""
        start = self.js('return window.__frames')
        self.wait(lambda: self.js('return window.__frames') >= start + count, '%d passes of the program' % count)

    def refreshes(self, count):
        """Lets count animation frames of the page's own pass."""
        self.driver.execute_async_script(
            'const done = arguments[0]; let left = %d;'
            'const next = () => --left ? window.__raf(next) : done(); window.__raf(next);' % count)

    def keys(self, *keys, alt=False):
        actions = ActionChains(self.driver)
        if alt:
            actions.key_down(Keys.ALT)
        actions.send_keys(*keys)
        if alt:
            actions.key_up(Keys.ALT)
        actions.perform()

    def fullscreen(self):
        return self.js('return document.fullscreenElement !== null')

    def prompt(self):
        return self.js("const p = document.getElementById('prompt'); return p.hidden ? null : p.textContent")

    def nothing_runs(self):
        """After the end: no animation frame asked for, over a few of the page's own."""
        before = self.js('return window.__frames')
        self.refreshes(5)
        assert self.js('return window.__frames') == before, 'animation frames asked for after the end'
        assert not self.fullscreen(), 'still in full screen after the end'


def window_runs_and_keys(pages):
    pages.open('rings_window.html')
    pages.wait(lambda: re.fullmatch(r'Vorlix Julia Rings FPS:[1-9][0-9]*', pages.driver.title), 'a frame count')
    pages.wait(lambda: pages.driver.find_element(By.ID, 'title').text == pages.driver.title, 'the caption')
    pages.shows_picture()
    print('    page load to first frame: %.0f ms' % pages.js('return window.__first_frame'))
    print('    title: ' + pages.driver.title)
    # The system menu's keys do not end the demo: two more pictures come after each.
    pages.keys('x', alt=True)
    pages.new_pictures(2)
    pages.keys(Keys.F10)
    pages.new_pictures(2)
    assert pages.status() is None, 'Alt+X or F10 ended the demo'
    # A key the demo takes ends it, and is not the page's too (an arrow would scroll).
    pages.js("addEventListener('keydown', event => { window.__kept = event.defaultPrevented; })")
    pages.keys(Keys.ARROW_DOWN)
    pages.ended_with('0')
    assert pages.js('return window.__kept') is True, 'the page took the arrow key too'
    pages.nothing_runs()


def close_box(pages):
    pages.open('rings_window.html')
    pages.shows_picture()
    pages.driver.find_element(By.ID, 'close').click()
    pages.ended_with('0')
    pages.nothing_runs()


def other_format_and_scale(pages):
    # A 16-bit desktop goes through its converter and back to the canvas's format.
    pages.open('rings_window.html?format=rgb565&scale=2')
    pages.shows_picture()
    # Each picture pixel a block of the whole part of devicePixelRatio x 2 device pixels.
    ratio = pages.js('return devicePixelRatio')
    width = pages.js("return document.getElementById('canvas').getBoundingClientRect().width")
    assert abs(width * ratio - 320 * max(1, int(ratio * 2))) < 0.01, \
        'the canvas is %s CSS pixels wide at devicePixelRatio %s' % (width, ratio)
    pages.keys(Keys.SPACE)
    pages.ended_with('0')


def palette_desktop_refused(pages):
    pages.open('rings_window.html?format=pal8')
    pages.ended_with('-1')
    pages.nothing_runs()


def fullscreen_click_and_escape(pages):
    pages.open('rings_fullscreen.html')
    pages.wait(lambda: pages.prompt() == 'Click for full screen', 'the request for a click')
    pages.driver.find_element(By.ID, 'prompt').click()
    pages.wait(pages.fullscreen, 'full screen')
    pages.shows_picture()
    pages.new_pictures(2)
    assert pages.js("return getComputedStyle(document.getElementById('window')).cursor") == 'none', \
        'the cursor shows in full screen'
    # Esc leaves full screen and makes the program inactive: it goes on (it asks for
    # animation frames) but presents nothing.
    pages.keys(Keys.ESCAPE)
    pages.wait(lambda: not pages.fullscreen() and pages.prompt() == 'Click to return', 'the way back')
    pages.program_passes(3)  # a frame flipped before the news may still show
    frozen = pages.canvas()['sum']
    pages.program_passes(10)
    assert pages.canvas()['sum'] == frozen, 'a frame was presented while inactive'
    assert pages.status() is None, 'Esc ended the program'
    pages.driver.find_element(By.ID, 'prompt').click()
    pages.wait(pages.fullscreen, 'full screen again')
    pages.new_pictures(2)
    pages.keys('q')
    pages.ended_with('0')
    pages.nothing_runs()


def fullscreen_forbidden(pages):
    # A frame without permission for full screen: the mode switch fails, as a screen
    # without the mode makes it fail.
    pages.open('index.html')
    pages.js("const frame = document.createElement('iframe'); frame.id = 'frame';"
             "frame.allow = \"fullscreen 'none'\"; frame.src = 'rings_fullscreen.html';"
             "document.body.appendChild(frame);")
    pages.driver.switch_to.frame('frame')
    try:
        pages.ended_with('-1')
    finally:
        pages.driver.switch_to.default_content()


CASES = [window_runs_and_keys, close_box, other_format_and_scale, palette_desktop_refused,
         fullscreen_click_and_escape, fullscreen_forbidden]


def chromium(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/lib/chromium/chromium'
    for argument in ['--headless=new', '--no-sandbox', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic',
                     '--window-size=1024,768', '--user-data-dir=' + profile]:
        options.add_argument(argument)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': WATCH})
    driver.set_script_timeout(30)
    return driver


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    handler = functools.partial(QuietHandler, directory=sys.argv[1])
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix='web_pages.')
    driver = chromium(profile)
    passed = failed = 0
    try:
        pages = Pages(driver, 'http://127.0.0.1:%d/' % server.server_address[1])
        for case in CASES:
            try:
                case(pages)
                noise = [entry['message'] for entry in driver.get_log('browser')
                         if entry['level'] in ('WARNING', 'SEVERE')]
                assert not noise, 'the console says: ' + ' | '.join(noise)
                print('PASS ' + case.__name__)
                passed += 1
            except (AssertionError, WebDriverException) as error:
                print('FAIL %s: %s' % (case.__name__, str(error).strip().splitlines()[0]))
                failed += 1
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
