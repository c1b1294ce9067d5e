// SPDX-License-Identifier: GPL-3.0-or-later
// How a page in the program's browser sees the window: always shown, and, while the host asks
// for it, never losing the focus. Runs in the page's own world of every frame before the page's
// scripts, so that its listeners come first.
//
// Courseware counts study time only while its video plays, and many pages pause the video when
// the document is hidden or the window loses the focus. The student leaves the window minimised
// or behind another for hours; the page must go on as if it were watched. The engine itself goes
// on playing a video with sound while its page is hidden; only the page's own view of it changes.
//
// The source is a function expression: the host calls it with whether the focus is kept now.
// Pages loaded while the host asks for the focus to be kept get `true`; pages already shown hear
// a change as a message that each frame passes on to its own frames.
((keepFocus) => {
  'use strict';

  const KEEP_FOCUS = 'larkwend-keep-focus';
  const LET_FOCUS_GO = 'larkwend-let-focus-go';

  const shown = (name, value) => {
    try {
      Object.defineProperty(Document.prototype, name, {
        configurable: true,
        enumerable: true,
        get() { return value; },
      });
    } catch (e) {}
  };
  shown('visibilityState', 'visible');
  shown('hidden', false);
  shown('webkitVisibilityState', 'visible');
  shown('webkitHidden', false);

  const realHasFocus = Document.prototype.hasFocus;
  Object.defineProperty(Document.prototype, 'hasFocus', {
    configurable: true,
    writable: true,
    value: function hasFocus() { return keepFocus || realHasFocus.call(this); },
  });

  // Registered before any of the page's, on the window, where every event of the document passes
  // first: stopped here, it reaches none of the page's listeners.
  const swallow = (event) => event.stopImmediatePropagation();
  window.addEventListener('visibilitychange', swallow, true);
  window.addEventListener('webkitvisibilitychange', swallow, true);
  window.addEventListener('blur', (event) => {
    if (keepFocus && event.target === window) event.stopImmediatePropagation();
  }, true);
  window.addEventListener('message', (event) => {
    if (event.data !== KEEP_FOCUS && event.data !== LET_FOCUS_GO) return;
    event.stopImmediatePropagation();
    keepFocus = event.data === KEEP_FOCUS;
    for (let i = 0; i < window.frames.length; ++i) window.frames[i].postMessage(event.data, '*');
  }, true);
})
