// The page's side of the browser host (host.cpp): the window drawn around the
// canvas, the page's events queued for the program, the waits it yields in, and
// the end of the run. Linked in with --js-library; pages/load.js loads the program.

var LibraryBrowserHost = {
  $Page__deps: ['$callUserCallback', '$Asyncify', '$stringToNewUTF8', 'browser_keep_screen_on'],
  $Page__postset: 'Page.start();',
  $Page: {
    // [kind, value] pairs for browser_next_event, of host.cpp's kinds.
    events: [],
    kinds: {key: 1, altKey: 2, close: 3, activated: 4, deactivated: 5, pointer: 6, exposed: 7},
    // What the page listens to while the program runs; all of it goes at the end.
    listeners: [],
    frame: 0,          // the animation frame a sleeping program waits for
    waiting: null,     // the click a program waiting for full screen waits for
    exclusive: false,  // the shown window owns the screen (the fullscreen program)
    api: false,        // the Fullscreen API, which an iPhone keeps for video
    filling: false,    // without it, the exclusive window fills the viewport
    scale: 1,
    wakeLock: null,
    settings: {},      // the page's query items as the program's text, by name

    // KeyboardEvent.code to Win32 virtual-key codes.
    keys: (function() {
      var keys = {
        Escape: 0x1B, Space: 0x20, Enter: 0x0D, NumpadEnter: 0x0D, Backspace: 0x08, Tab: 0x09,
        ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28,
        ShiftLeft: 0x10, ShiftRight: 0x10, ControlLeft: 0x11, ControlRight: 0x11, AltLeft: 0x12, AltRight: 0x12,
        MetaLeft: 0x5B, MetaRight: 0x5C, ContextMenu: 0x5D, Pause: 0x13, CapsLock: 0x14, NumLock: 0x90,
        ScrollLock: 0x91, PrintScreen: 0x2C, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24, Insert: 0x2D,
        Delete: 0x2E, NumpadMultiply: 0x6A, NumpadAdd: 0x6B, NumpadSubtract: 0x6D, NumpadDecimal: 0x6E,
        NumpadDivide: 0x6F, Semicolon: 0xBA, Equal: 0xBB, Comma: 0xBC, Minus: 0xBD, Period: 0xBE, Slash: 0xBF,
        Backquote: 0xC0, BracketLeft: 0xDB, Backslash: 0xDC, BracketRight: 0xDD, Quote: 0xDE, IntlBackslash: 0xE2
      };
      for (var i = 0; i < 26; ++i) keys['Key' + String.fromCharCode(65 + i)] = 65 + i;
      for (var i = 0; i < 10; ++i) {
        keys['Digit' + i] = 0x30 + i;
        keys['Numpad' + i] = 0x60 + i;
      }
      for (var i = 1; i <= 24; ++i) keys['F' + i] = 0x6F + i;
      return keys;
    })(),

    start: function() {
      Page.api = 'requestFullscreen' in Element.prototype;
      ['window', 'caption', 'title', 'canvas', 'prompt'].forEach(function(id) {
        Page[id] = document.getElementById(id);
      });
      Page.context = Page.canvas.getContext('2d', {alpha: false});
      Module['onExit'] = function(status) { Page.end('Ended with status ' + status, status); };
      var failed = function() { Page.end('Stopped by an error', 'error'); };
      Module['onAbort'] = failed;
      // Under a finger nothing scrolls or zooms (the stylesheet takes the touch
      // gestures; Safari's pinch needs its own event).
      document.documentElement.classList.add('running');
      Page.listen(document, 'gesturestart', function(event) { event.preventDefault(); });

      Page.listen(Page.canvas, 'keydown', Page.key);
      Page.listen(Page.window, 'mousedown', function(event) {
        // The close box keeps the focus on the canvas, where the keys go.
        if (event.target !== Page.canvas) event.preventDefault();
        Page.canvas.focus();
      });
      Page.listen(Page.window, 'click', Page.click);
      Page.listen(Page.window, 'mousemove', function() {
        var last = Page.events[Page.events.length - 1];
        if (!last || last[0] !== Page.kinds.pointer) Page.post(Page.kinds.pointer);
      });
      Page.listen(document.getElementById('close'), 'click', function(event) {
        event.stopPropagation();
        Page.post(Page.kinds.close);
      });
      Page.listen(document, 'visibilitychange', function() {
        if (document.hidden) Page.post(Page.kinds.deactivated);
        else if (!Page.exclusive || Page.fullscreen()) Page.post(Page.kinds.activated);
      });
      if (Page.api) Page.listen(document, 'fullscreenchange', Page.screenChanged);
      Page.listen(window, 'resize', Page.layout);
      // A fault in the program, rather than a page that stops without a word.
      Page.listen(window, 'error', failed);
      Page.listen(window, 'unhandledrejection', failed);
      Page.listen(Page.canvas, 'contextrestored', function() { Page.post(Page.kinds.exposed); });
    },

    post: function(kind, value) {
      Page.events.push([kind, value || 0]);
    },

    listen: function(target, type, handler) {
      target.addEventListener(type, handler);
      Page.listeners.push([target, type, handler]);
    },

    fullscreen: function() {
      return Page.api ? document.fullscreenElement === Page.window : Page.filling;
    },

    leaveFullscreen: function() {
      if (!Page.api) Page.fill(false);
      else if (document.fullscreenElement) document.exitFullscreen().catch(function() {});
    },

    // The viewport as the screen: the window over the whole page, the page held still.
    fill: function(on) {
      if (Page.filling === on) return;
      Page.filling = on;
      Page.window.classList.toggle('filling', on);
      Page.screenChanged();
    },

    // The exclusive window came into the screen, or left it.
    screenChanged: function() {
      var shown = Page.fullscreen();
      Page.window.classList.toggle('fullscreen', shown);
      if (Page.exclusive) {
        Page.ask(shown ? null : 'Click to return');
        if (shown) Page.canvas.focus();
        Page.post(shown ? Page.kinds.activated : Page.kinds.deactivated);
      }
      Page.layout();
    },

    key: function(event) {
      var key = Page.keys[event.code];
      if (!key || event.isComposing) return;
      // Esc is how a person leaves full screen, here as in the browser.
      if (Page.exclusive && key === 0x1B) {
        Page.leaveFullscreen();
        event.preventDefault();
        return;
      }
      // A program that is not in front takes no keys; the browser's own keys (with
      // Ctrl or the system key, and the function keys but F10) keep their use.
      if (Page.exclusive && !Page.fullscreen()) return;
      if (!(event.ctrlKey || event.metaKey || (key >= 0x70 && key <= 0x87 && key !== 0x79))) event.preventDefault();
      Page.post(event.altKey ? Page.kinds.altKey : Page.kinds.key, key);
    },

    // A click, or a tap: mobile browsers click where a finger taps.
    click: function() {
      if (!Page.exclusive || Page.fullscreen()) return;
      var answer = function(granted) {
        return function() { if (Page.waiting) Page.waiting(granted); };
      };
      // Full screen only from a person's gesture: this click. Settles when the
      // window has the screen, or the browser refused it.
      var entered = Page.api ? Page.window.requestFullscreen({navigationUI: 'hide'}) : Promise.resolve(Page.fill(true));
      entered.then(answer(1), answer(0));
    },

    // A message over the canvas; null takes it away.
    ask: function(text) {
      Page.prompt.textContent = text || '';
      Page.prompt.hidden = !text;
    },

    // Each picture pixel a block of whole device pixels: the scale asked for in a
    // window (less where the page has no room), the largest that fits in full
    // screen; less than one only where nothing larger fits.
    layout: function() {
      var canvas = Page.canvas, ratio = window.devicePixelRatio || 1, factor;
      var fit = function(width, height) {
        return Math.min(width * ratio / canvas.width, height * ratio / canvas.height);
      };
      if (Page.exclusive && Page.fullscreen()) {
        factor = Math.max(1, fit(window.innerWidth, window.innerHeight));
      } else if (Page.exclusive) {
        factor = fit(Math.min(640, window.innerWidth - 48), Math.min(480, window.innerHeight - 96));
      } else {
        // The room the page leaves: its own, less the window's frame and the footer.
        var page = document.documentElement, footer = document.querySelector('footer');
        factor = Math.min(ratio * Page.scale,
                          fit(page.clientWidth - (Page.window.offsetWidth - canvas.offsetWidth),
                              page.clientHeight - (Page.window.offsetHeight - canvas.offsetHeight) -
                                (footer ? footer.offsetHeight : 0)));
      }
      if (factor >= 1) factor = Math.floor(factor);
      canvas.style.width = canvas.width * factor / ratio + 'px';
      canvas.style.height = canvas.height * factor / ratio + 'px';
    },

    end: function(text, status) {
      cancelAnimationFrame(Page.frame);  // no harm if it came already
      Page.waiting = null;
      Page.listeners.forEach(function(listener) { listener[0].removeEventListener(listener[1], listener[2]); });
      Page.exclusive = false;
      if (Page.fullscreen()) Page.leaveFullscreen();
      Page.events = [];
      document.documentElement.classList.remove('running');
      _browser_keep_screen_on(0);
      Page.window.hidden = true;
      document.getElementById('ended-text').textContent = text;
      document.getElementById('ended').hidden = false;
      document.body.dataset.exitStatus = String(status);
      var again = document.getElementById('again');
      again.onclick = function() { location.reload(); };
      again.focus();
    }
  },

  // Each item's text is made once and kept: the settings hold on to it.
  browser_setting: function(name) {
    name = UTF8ToString(name);
    if (!(name in Page.settings)) {
      var value = new URLSearchParams(location.search).get(name);
      Page.settings[name] = value === null ? 0 : stringToNewUTF8(value);
    }
    return Page.settings[name];
  },

  browser_screen_size: function(width, height) {
    HEAP32[width >> 2] = screen.width;
    HEAP32[height >> 2] = screen.height;
  },

  browser_show_window: function(width, height, caption, scale) {
    var canvas = Page.canvas, first = Page.window.hidden;
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    Page.caption.hidden = !caption;
    Page.scale = scale;
    Page.window.hidden = false;
    Page.layout();
    if (first) canvas.focus();
  },

  browser_hide_window: function() {
    Page.window.hidden = true;
  },

  browser_set_title: function(title) {
    var text = UTF8ToString(title);
    Page.title.textContent = text;
    document.title = text;
  },

  browser_set_exclusive: function(exclusive) {
    Page.exclusive = !!exclusive;
    Page.window.classList.toggle('exclusive', Page.exclusive);
    if (!Page.exclusive) {
      Page.ask(null);
      Page.leaveFullscreen();
    }
    Page.layout();
  },

  browser_present: function(pixels, width, height) {
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
    Page.context.putImageData(new ImageData(bytes, width, height), 0, 0);
  },

  browser_wait_refresh: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      Page.frame = requestAnimationFrame(function(time) {
        // The program may end while it runs on, which is no error.
        callUserCallback(function() { wakeUp(time); });
      });
    });
  },

  browser_enter_fullscreen: function() {
    // Through handleSleep even when answered at once: resuming passes here again.
    return Asyncify.handleSleep(function(wakeUp) {
      if (Page.fullscreen()) return wakeUp(1);
      // A frame without permission says so at once; no click would change it.
      if (Page.api && !document.fullscreenEnabled) return wakeUp(0);
      Page.ask('Click for full screen');
      Page.waiting = function(granted) {
        Page.waiting = null;
        callUserCallback(function() { wakeUp(granted); });
      };
    });
  },

  browser_show_cursor: function(shown) {
    Page.window.classList.toggle('cursor-hidden', !shown);
  },

  // The screensaver's counterpart: a wake lock, where the browser grants one.
  browser_keep_screen_on: function(on) {
    if (!on) {
      if (Page.wakeLock) Page.wakeLock.release().catch(function() {});
      Page.wakeLock = null;
    } else if (navigator.wakeLock && !Page.wakeLock) {
      navigator.wakeLock.request('screen').then(function(lock) { Page.wakeLock = lock; }, function() {});
    }
  },

  browser_next_event: function(kind, value) {
    var event = Page.events.shift();
    if (!event) return 0;
    HEAP32[kind >> 2] = event[0];
    HEAP32[value >> 2] = event[1];
    return 1;
  }
};

autoAddDeps(LibraryBrowserHost, '$Page');
mergeInto(LibraryManager.library, LibraryBrowserHost);
