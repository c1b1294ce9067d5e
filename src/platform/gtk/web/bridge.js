// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge: serves the document model to the program from an isolated script world of every
// frame, and reports each frame's own load.
//
// Installs itself once per frame (running it again changes nothing). In the top frame it answers
// requests; in every frame it notes which frame a clicked link or a submitted form will navigate
// and reports the frame's own load progress.
//
// Everything it calls on the page's objects goes through functions taken from this world's
// prototypes when it was installed: the page's scripts live in another world and cannot replace
// them, and a form field or image whose name happens to be "getElementById" or "action" cannot
// shadow them either.
(() => {
  'use strict';

  // ---- protocol -------------------------------------------------------------------------------
  // The names both sides use, defined here only: the build writes them into bridge_protocol.h for
  // the program (OP.doc becomes protocol::op::kDoc, FIELD.token protocol::field::kToken...).
  // A request is one JSON object with the operation, the caller's page and the operation's own
  // fields. The answer is an object with a status (0 done, negative failed), the current page and
  // the operation's results. Below, requests and answers use the long names, the wire the short.
  const OP = Object.freeze({
    doc: 'doc',  // the current page's document: handle
    all: 'all',  // a document's elements: handle, count, tags
    links: 'links',  // a document's links: handle, count, tags
    url: 'url',  // a document's address: value
    window: 'window',  // a document's window: handle
    frames: 'frames',  // a document's frames: handle, count, frameWindows, frameDocuments, ...
    byId: 'byId',  // the element with an id: handle, count, tags (handle 0: none)
    item: 'item',  // the index of the element with an id or name: index (-1: none)
    props: 'props',  // one property of every element of a snapshot: json
    frame: 'frame',  // frame number index of a window: handle (0: none)
    document: 'document',  // a frame's document: handle, address
    exec: 'exec',  // runs code in the page's own world: status
    click: 'click',  // clicks an element
    value: 'value',  // an input's value: value
    setValue: 'setValue',  // sets an input's value
    flush: 'flush',  // nothing: carries the writes queued so far
    ready: 'ready',  // whether the page and its frames have loaded: value 1 or 0, handle, frames
    classify: 'classify',  // whether a navigation to url is a frame's: isFrame 1 or 0
  });
  const FIELD = Object.freeze({
    op: 'op',  // the operation
    token: 't',  // the page whose handle table is meant, and in answers the current page
    status: 's',  // the answer's status
    error: 'e',  // why an operation failed
    releaseToken: 'rt',  // the page the releases belong to
    releases: 'rel',  // handles given back
    writeToken: 'wt',  // the page the writes belong to
    writes: 'w',  // link targets to set: [handle, index, target] each
    handle: 'h',
    index: 'i',
    count: 'n',
    tags: 'g',  // the tag names of a snapshot's elements, one a line, ~ before non-HTML ones
    json: 'j',  // texts as one JSON text
    value: 'v',
    address: 'u',  // the address of the document handed out
    isFrame: 'f',
    frameWindows: 'fw',  // each frame's window handle
    frameDocuments: 'fd',  // each frame's document handle (0: not reachable)
    frameAddresses: 'fu',  // each frame document's address (null: not reachable), as JSON text
    frames: 'fr',  // the top document's frames, an answer of the frames operation
    property: 'p',  // className, innerHTML, outerHTML or outerText
    name: 'name',
    id: 'id',
    code: 'code',
    url: 'url',
    event: 'ev',  // a frame's report: start, complete, intent or mediaError
    form: 'fm',  // with intent: 1 when a form is submitted, 0 for a link
    source: 'src',  // with mediaError: what the media element tried to play
    httpStatus: 'hs',  // with mediaError: the server's answer for it (0: not known)
  });
  const PROPERTY = Object.freeze({
    className: 'className',
    innerHtml: 'innerHTML',
    outerHtml: 'outerHTML',
    outerText: 'outerText',
  });
  const NAME = Object.freeze({
    bridge: '__larkwendBridge',  // the global the program calls
    request: 'req',  // the argument that carries the request
    channel: 'larkwend',  // the message handler frames report on
    start: 'start',  // a frame's report that it started loading
    complete: 'complete',  // a frame's report that it finished
    mediaError: 'mediaError',  // a media element of the frame failed for good
    intent: 'intent',  // a frame of another host follows a link or submits a form: address, isFrame
  });
  // ---- end of protocol ------------------------------------------------------------------------

  if (Object.prototype.hasOwnProperty.call(globalThis, NAME.bridge)) return;

  const HTML_NS = 'http://www.w3.org/1999/xhtml';
  const descriptor = (proto, name) => {
    for (let p = proto; p; p = Object.getPrototypeOf(p)) {
      const d = Object.getOwnPropertyDescriptor(p, name);
      if (d) return d;
    }
    throw new Error('no property ' + name);
  };
  const getter = (proto, name) => descriptor(proto, name).get;
  const setter = (proto, name) => descriptor(proto, name).set;

  const D = {
    byId: Document.prototype.getElementById,
    byTag: Document.prototype.getElementsByTagName,
    query: Document.prototype.querySelector,
    create: Document.prototype.createElement,
    links: getter(Document.prototype, 'links'),
    url: getter(Document.prototype, 'URL'),
    view: getter(Document.prototype, 'defaultView'),
    readyState: getter(Document.prototype, 'readyState'),
    head: getter(Document.prototype, 'head'),
    root: getter(Document.prototype, 'documentElement'),
  };
  const E = {
    attr: Element.prototype.getAttribute,
    hasAttr: Element.prototype.hasAttribute,
    closest: Element.prototype.closest,
    remove: Element.prototype.remove,
    localName: getter(Element.prototype, 'localName'),
    ns: getter(Element.prototype, 'namespaceURI'),
    innerHTML: getter(Element.prototype, 'innerHTML'),
    outerHTML: getter(Element.prototype, 'outerHTML'),
    outerText: getter(HTMLElement.prototype, 'outerText'),
    textContent: getter(Node.prototype, 'textContent'),
    setText: setter(Node.prototype, 'textContent'),
    owner: getter(Node.prototype, 'ownerDocument'),
    append: Node.prototype.appendChild,
    click: HTMLElement.prototype.click,
    dispatch: EventTarget.prototype.dispatchEvent,
    listen: EventTarget.prototype.addEventListener,
    unlisten: EventTarget.prototype.removeEventListener,
    getValue: getter(HTMLInputElement.prototype, 'value'),
    setValue: setter(HTMLInputElement.prototype, 'value'),
    setTarget: setter(HTMLAnchorElement.prototype, 'target'),
    anchorHref: getter(HTMLAnchorElement.prototype, 'href'),
    areaHref: getter(HTMLAreaElement.prototype, 'href'),
    formAction: getter(HTMLFormElement.prototype, 'action'),
  };

  // ---- handle table: one per page, gone with it ------------------------------------------------
  const token = Date.now().toString(36) + '-' + Math.random().toString(36).slice(2);
  const table = new Map();
  let next = 1;
  const put = (o) => { const h = next++; table.set(h, o); return h; };
  const entry = (h, kind) => {
    const o = table.get(h);
    if (!o || o.k !== kind) throw new Error('no ' + kind + ' ' + h);
    return o;
  };
  // A frame document the frame has navigated away from has no window any more.
  const live = (doc) => {
    if (!doc || !D.view.call(doc)) throw new Error('document gone');
    return doc;
  };
  const tagOf = (el) => (E.ns.call(el) === HTML_NS ? '' : '~') + E.localName.call(el);
  const snapshot = (doc, list) => {
    const items = Array.prototype.slice.call(list);
    return {handle: put({k: 'els', items, doc}), count: items.length, tags: items.map(tagOf).join('\n')};
  };
  const element = (r) => {
    const c = entry(r.handle, 'els');
    live(c.doc);
    const el = c.items[r.index];
    if (!el) throw new Error('no element ' + r.index);
    return el;
  };
  const readers = {
    [PROPERTY.className]: (el) => E.attr.call(el, 'class') ?? '',
    [PROPERTY.innerHtml]: (el) => E.innerHTML.call(el),
    [PROPERTY.outerHtml]: (el) => E.outerHTML.call(el),
    [PROPERTY.outerText]: (el) => {
      try { return E.outerText.call(el); } catch (e) { return E.textContent.call(el); }
    },
  };

  // ---- which frame a navigation is for -----------------------------------------------------------
  // Links clicked and forms submitted are noted in the top frame's world as they happen, so the
  // host can tell a frame's navigation from the top page's when it is asked to allow it.
  const INTENTS = '__larkwendIntents';
  // When a frame's document began to be left (set on the document itself, so that the top frame's
  // bridge sees it). A navigation that never replaces the document (no content, a download, a
  // failed load) must not hold the page as loading for good: after this long the mark is ignored.
  const LEAVING = '__larkwendLeaving';
  const kLeavingLimitMs = 30000;
  const leaving = (d) => {
    const since = d[LEAVING];
    return typeof since === 'number' && Date.now() - since < kLeavingLimitMs;
  };
  const frameNamed = (w, name) => {
    for (let i = 0; i < w.length; ++i) {
      try { if (w[i].name === name) return true; } catch (e) {}
      if (frameNamed(w[i], name)) return true;
    }
    return false;
  };
  // true: a frame; false: the top page; null: a new window (not a navigation of this page).
  const targetsFrame = (target) => {
    const t = (target || '').trim();
    const lower = t.toLowerCase();
    if (lower === '_blank') return null;
    if (lower === '' || lower === '_self') return window !== window.top;
    if (lower === '_top') return false;
    if (lower === '_parent') return window.parent !== window.top;
    try { if (window.top.name === t) return false; } catch (e) {}
    return frameNamed(window.top, t) ? true : null;
  };
  const baseTarget = () => {
    const base = D.query.call(document, 'base[target]');
    return base ? E.attr.call(base, 'target') : '';
  };
  const note = (url, target, form) => {
    const frame = targetsFrame(target);
    if (frame === null) return;
    try {
      const top = window.top;
      const list = top[INTENTS] || (top[INTENTS] = []);
      list.push({url, frame, form, at: Date.now()});
      if (list.length > 16) list.shift();
    } catch (e) {
      // The top page is another host's: the control hears it before the engine asks.
      report(NAME.intent, {address: url, isFrame: frame ? 1 : 0, form: form ? 1 : 0});
    }
  };
  E.listen.call(document, 'click', (event) => {
    let link = null;
    try { link = E.closest.call(event.target, 'a[href], area[href]'); } catch (e) { return; }
    if (!link) return;
    const href = E.localName.call(link) === 'a' ? E.anchorHref.call(link) : E.areaHref.call(link);
    note(href, E.attr.call(link, 'target') || baseTarget(), false);
  }, true);
  E.listen.call(document, 'submit', (event) => {
    const form = event.target;
    let url = E.formAction.call(form);
    let target = E.attr.call(form, 'target') || baseTarget();
    const by = event.submitter;
    if (by) {
      const action = E.attr.call(by, 'formaction');
      if (action) url = new URL(action, document.baseURI).href;
      target = E.attr.call(by, 'formtarget') || target;
    }
    note(url, target, true);
  }, true);

  const withoutQuery = (url) => url.split('#')[0].split('?')[0];
  const frameLoading = (w, url) => {
    for (let i = 0; i < w.length; ++i) {
      const child = w[i];
      try {
        const holder = child.frameElement;
        if (holder && holder.src === url && D.url.call(child.document) !== url) return true;
      } catch (e) {}
      if (frameLoading(child, url)) return true;
    }
    return false;
  };

  // A document's frames. Each frame's window, document and address come along: whoever asks
  // for the frames walks them next. A document that cannot be reached has the handle 0.
  const framesOf = (doc) => {
    const w = D.view.call(live(doc));
    const windows = [], documents = [], addresses = [];
    for (let i = 0; i < w.length; ++i) {
      let d = null;
      try { d = live(w[i].document); } catch (e) {}
      windows.push(put({k: 'win', w: w[i]}));
      documents.push(d ? put({k: 'doc', d}) : 0);
      addresses.push(d ? D.url.call(d) : null);
    }
    return {handle: put({k: 'win', w}), count: w.length, frameWindows: windows,
            frameDocuments: documents, frameAddresses: JSON.stringify(addresses)};
  };

  // ---- operations ---------------------------------------------------------------------------------
  const ops = Object.assign(Object.create(null), {
    [OP.doc]: () => ({handle: put({k: 'doc', d: document})}),
    [OP.all]: (r) => {
      const d = live(entry(r.handle, 'doc').d);
      return snapshot(d, D.byTag.call(d, '*'));
    },
    [OP.links]: (r) => {
      const d = live(entry(r.handle, 'doc').d);
      return snapshot(d, D.links.call(d));
    },
    [OP.url]: (r) => ({value: D.url.call(live(entry(r.handle, 'doc').d))}),
    [OP.window]: (r) => ({handle: put({k: 'win', w: D.view.call(live(entry(r.handle, 'doc').d))})}),
    [OP.frames]: (r) => framesOf(entry(r.handle, 'doc').d),
    [OP.byId]: (r) => {
      const d = live(entry(r.handle, 'doc').d);
      const el = D.byId.call(d, r.id);
      return el ? snapshot(d, [el]) : {handle: 0};
    },
    [OP.item]: (r) => {
      const c = entry(r.handle, 'els');
      live(c.doc);
      const named = (el) => E.attr.call(el, 'id') === r.name || E.attr.call(el, 'name') === r.name;
      return {index: c.items.findIndex(named)};
    },
    [OP.props]: (r) => {
      const c = entry(r.handle, 'els');
      live(c.doc);
      const read = readers[r.property];
      // One text crosses far faster than thousands of values.
      return {json: JSON.stringify(c.items.map(read))};
    },
    [OP.frame]: (r) => {
      const w = entry(r.handle, 'win').w;
      if (r.index < 0 || r.index >= w.length) return {handle: 0};
      return {handle: put({k: 'win', w: w[r.index]})};
    },
    // The address comes along: whoever asks a frame for its document asks for its address next.
    [OP.document]: (r) => {
      const d = live(entry(r.handle, 'win').w.document);
      return {handle: put({k: 'doc', d}), address: D.url.call(d)};
    },
    [OP.exec]: (r) => {
      const w = entry(r.handle, 'win').w;
      const d = live(w.document);
      // The page's own world runs the script; a marker it sets last tells that it ran to the end,
      // an error event on its window that it threw.
      const MARK = 'data-larkwend-ran';
      const script = D.create.call(d, 'script');
      E.setText.call(script, r.code + '\n;document.currentScript.setAttribute("' + MARK + '", "");');
      let threw = false;
      let message = '';
      const onError = (ev) => { threw = true; message = String(ev.message || 'an error'); };
      E.listen.call(w, 'error', onError, true);
      try {
        E.append.call(D.head.call(d) || D.root.call(d), script);
      } finally {
        E.unlisten.call(w, 'error', onError, true);
      }
      const ran = E.hasAttr.call(script, MARK);
      E.remove.call(script);
      if (ran && !threw) return {};
      return {status: -1, error: threw ? message : 'the script stopped before its end'};
    },
    [OP.click]: (r) => {
      const el = element(r);
      if (E.ns.call(el) === HTML_NS) E.click.call(el);
      else E.dispatch.call(el, new MouseEvent('click', {bubbles: true, cancelable: true}));
      return {};
    },
    [OP.value]: (r) => ({value: E.getValue.call(element(r))}),
    [OP.setValue]: (r) => { E.setValue.call(element(r), r.value ?? ''); return {}; },
    [OP.ready]: () => {
      const complete = (w) => {
        let d = null;
        try { d = w.document; } catch (e) { return true; }
        if (d && D.readyState.call(d) !== 'complete') return false;
        if (d && leaving(d)) return false;
        for (let i = 0; i < w.length; ++i) if (!complete(w[i])) return false;
        return true;
      };
      // The top document and its frames come along: a caller that finds the page complete asks
      // for them next.
      let frames = null;
      try { frames = encode(framesOf(document)); } catch (e) {}
      return {value: complete(window) ? 1 : 0, handle: put({k: 'doc', d: document}), frames};
    },
    [OP.flush]: () => ({}),
    [OP.classify]: (r) => {
      const now = Date.now();
      const list = window[INTENTS] || [];
      for (let k = list.length - 1; k >= 0; --k) {
        const it = list[k];
        if (now - it.at > 3000) continue;
        if (it.url === r.url || (it.form && withoutQuery(it.url) === withoutQuery(r.url))) {
          list.splice(k, 1);
          return {isFrame: it.frame ? 1 : 0};
        }
      }
      return {isFrame: frameLoading(window, r.url) ? 1 : 0};
    },
  });
  // Operations that work on whatever page is current; the rest need the caller's page.
  const anyPage = new Set([OP.doc, OP.ready, OP.classify, OP.flush]);

  // The wire's short names to the long ones, and back.
  const decode = (wire) => {
    const r = {};
    for (const [name, key] of Object.entries(FIELD)) if (key in wire) r[name] = wire[key];
    return r;
  };
  const encode = (out) => {
    const wire = {};
    for (const [name, value] of Object.entries(out)) {
      if (!(name in FIELD)) throw new Error('no field ' + name);
      wire[FIELD[name]] = value;
    }
    return wire;
  };

  Object.defineProperty(globalThis, NAME.bridge, {value: (json) => {
    let r;
    try { r = decode(JSON.parse(json)); } catch (e) { return encode({status: -1, token}); }
    // Writes nobody waits for come first: a handle given back may be the one written through.
    if (r.writeToken === token && Array.isArray(r.writes)) {
      for (const [handle, index, value] of r.writes) {
        try { E.setTarget.call(element({handle, index}), value ?? ''); } catch (e) {}
      }
    }
    if (r.releaseToken === token && Array.isArray(r.releases)) {
      for (const h of r.releases) table.delete(h);
    }
    const op = ops[r.op];
    if (!op || (!anyPage.has(r.op) && r.token !== token)) return encode({status: -1, token});
    try {
      const out = op(r);
      if (out.status === undefined) out.status = 0;
      out.token = token;
      return encode(out);
    } catch (e) {
      return encode({status: -1, token, error: String(e)});
    }
  }});

  // ---- reports of the frame's own ----------------------------------------------------------------
  const report = (what, more) => {
    try {
      window.webkit.messageHandlers[NAME.channel].postMessage(
          encode(Object.assign({event: what, url: D.url.call(document)}, more)));
    } catch (e) {}
  };

  // A frame reports its own load.
  if (window !== window.top) {
    // A frame that navigates keeps its old, complete document until the new one's answer
    // arrives: from the moment it is let go, it counts as loading.
    E.listen.call(window, 'beforeunload', () => { document[LEAVING] = Date.now(); });
    report(NAME.start);
    E.listen.call(window, 'load', () => report(NAME.complete));
  }

  // Every frame, the top one too, reports a video or audio that failed for good. The engine says
  // "not supported" alike for a format it has no decoder for and for an address the server did
  // not serve: the server's answer tells them apart.
  const M = {
    error: getter(HTMLMediaElement.prototype, 'error'),
    code: getter(MediaError.prototype, 'code'),
    currentSrc: getter(HTMLMediaElement.prototype, 'currentSrc'),
    networkState: getter(HTMLMediaElement.prototype, 'networkState'),
    sourceSrc: getter(HTMLSourceElement.prototype, 'src'),
    parent: getter(Node.prototype, 'parentNode'),
  };
  const kSrcNotSupported = 4;
  const mediaFailed = (code, src) => {
    if (code !== kSrcNotSupported || !/^https?:/i.test(src)) {
      report(NAME.mediaError, {code, source: src, httpStatus: 0});
      return;
    }
    fetch(src, {method: 'HEAD', cache: 'no-store', credentials: 'same-origin'}).then(
        (r) => report(NAME.mediaError, {code, source: src, httpStatus: r.status}),
        () => report(NAME.mediaError, {code, source: src, httpStatus: 0}));
  };
  E.listen.call(window, 'error', (event) => {
    const target = event.target;
    try {
      if (target instanceof HTMLMediaElement) {
        const error = M.error.call(target);
        if (error) mediaFailed(M.code.call(error), M.currentSrc.call(target));
      } else if (target instanceof HTMLSourceElement) {
        // Sources are tried in turn; the element has failed once the last has.
        const media = M.parent.call(target);
        if (media instanceof HTMLMediaElement &&
            M.networkState.call(media) === HTMLMediaElement.NETWORK_NO_SOURCE)
          mediaFailed(kSrcNotSupported, M.sourceSrc.call(target));
      }
    } catch (e) {}
  }, true);
})();
