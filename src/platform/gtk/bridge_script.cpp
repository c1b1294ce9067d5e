#include "platform/gtk/bridge_script.h"

namespace larkwend::gtk {
namespace {

// Runs in the bridge's own script world. Everything it calls on the page's objects goes through
// functions taken from this world's prototypes when it was installed: the page's scripts live in
// another world and cannot replace them, and a form field or image whose name happens to be
// "getElementById" or "action" cannot shadow them either.
constexpr const char kScript[] = R"js(
(() => {
  'use strict';
  const KEY = '__larkwendBridge';
  if (Object.prototype.hasOwnProperty.call(globalThis, KEY)) return;

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
    return {h: put({k: 'els', items, doc}), n: items.length, g: items.map(tagOf).join('\n')};
  };
  const element = (r) => {
    const c = entry(r.h, 'els');
    live(c.doc);
    const el = c.items[r.i];
    if (!el) throw new Error('no element ' + r.i);
    return el;
  };
  const readers = {
    className: (el) => E.attr.call(el, 'class') ?? '',
    innerHTML: (el) => E.innerHTML.call(el),
    outerHTML: (el) => E.outerHTML.call(el),
    outerText: (el) => {
      try { return E.outerText.call(el); } catch (e) { return E.textContent.call(el); }
    },
  };

  // ---- which frame a navigation is for -----------------------------------------------------------
  // Links clicked and forms submitted are noted in the top frame's world as they happen, so the
  // host can tell a frame's navigation from the top page's when it is asked to allow it.
  const INTENTS = '__larkwendIntents';
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
    } catch (e) {}
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
    const fw = [], fd = [], fu = [];
    for (let i = 0; i < w.length; ++i) {
      let d = null;
      try { d = live(w[i].document); } catch (e) {}
      fw.push(put({k: 'win', w: w[i]}));
      fd.push(d ? put({k: 'doc', d}) : 0);
      fu.push(d ? D.url.call(d) : null);
    }
    return {h: put({k: 'win', w}), n: w.length, fw, fd, fu: JSON.stringify(fu)};
  };

  // ---- operations ---------------------------------------------------------------------------------
  const ops = Object.assign(Object.create(null), {
    doc: () => ({h: put({k: 'doc', d: document})}),
    all: (r) => {
      const d = live(entry(r.h, 'doc').d);
      return snapshot(d, D.byTag.call(d, '*'));
    },
    links: (r) => {
      const d = live(entry(r.h, 'doc').d);
      return snapshot(d, D.links.call(d));
    },
    url: (r) => ({v: D.url.call(live(entry(r.h, 'doc').d))}),
    window: (r) => ({h: put({k: 'win', w: D.view.call(live(entry(r.h, 'doc').d))})}),
    frames: (r) => framesOf(entry(r.h, 'doc').d),
    byId: (r) => {
      const d = live(entry(r.h, 'doc').d);
      const el = D.byId.call(d, r.id);
      return el ? snapshot(d, [el]) : {h: 0};
    },
    item: (r) => {
      const c = entry(r.h, 'els');
      live(c.doc);
      const named = (el) => E.attr.call(el, 'id') === r.name || E.attr.call(el, 'name') === r.name;
      return {i: c.items.findIndex(named)};
    },
    props: (r) => {
      const c = entry(r.h, 'els');
      live(c.doc);
      const read = readers[r.p];
      // One text crosses far faster than thousands of values.
      return {j: JSON.stringify(c.items.map(read))};
    },
    frame: (r) => {
      const w = entry(r.h, 'win').w;
      if (r.i < 0 || r.i >= w.length) return {h: 0};
      return {h: put({k: 'win', w: w[r.i]})};
    },
    // The address comes along: whoever asks a frame for its document asks for its address next.
    document: (r) => {
      const d = live(entry(r.h, 'win').w.document);
      return {h: put({k: 'doc', d}), u: D.url.call(d)};
    },
    exec: (r) => {
      const w = entry(r.h, 'win').w;
      const d = live(w.document);
      // The page's own world runs the script; a marker it sets last tells that it ran to the end,
      // an error event on its window that it threw.
      const MARK = 'data-larkwend-ran';
      const script = D.create.call(d, 'script');
      E.setText.call(script, r.code + '\n;document.currentScript.setAttribute("' + MARK + '", "");');
      let threw = false;
      const onError = () => { threw = true; };
      E.listen.call(w, 'error', onError, true);
      try {
        E.append.call(D.head.call(d) || D.root.call(d), script);
      } finally {
        E.unlisten.call(w, 'error', onError, true);
      }
      const ran = E.hasAttr.call(script, MARK);
      E.remove.call(script);
      return {s: ran && !threw ? 0 : -1};
    },
    click: (r) => {
      const el = element(r);
      if (E.ns.call(el) === HTML_NS) E.click.call(el);
      else E.dispatch.call(el, new MouseEvent('click', {bubbles: true, cancelable: true}));
      return {};
    },
    value: (r) => ({v: E.getValue.call(element(r))}),
    setValue: (r) => { E.setValue.call(element(r), r.v ?? ''); return {}; },
    setTarget: (r) => { E.setTarget.call(element(r), r.v ?? ''); return {}; },
    ready: () => {
      const complete = (w) => {
        let d = null;
        try { d = w.document; } catch (e) { return true; }
        if (d && D.readyState.call(d) !== 'complete') return false;
        for (let i = 0; i < w.length; ++i) if (!complete(w[i])) return false;
        return true;
      };
      // The top document and its frames come along: a caller that finds the page complete asks
      // for them next.
      let f = null;
      try { f = framesOf(document); } catch (e) {}
      return {v: complete(window) ? 1 : 0, h: put({k: 'doc', d: document}), f};
    },
    classify: (r) => {
      const now = Date.now();
      const list = window[INTENTS] || [];
      for (let k = list.length - 1; k >= 0; --k) {
        const it = list[k];
        if (now - it.at > 3000) continue;
        if (it.url === r.url || (it.form && withoutQuery(it.url) === withoutQuery(r.url))) {
          list.splice(k, 1);
          return {f: it.frame ? 1 : 0};
        }
      }
      return {f: frameLoading(window, r.url) ? 1 : 0};
    },
  });
  // Operations that work on whatever page is current; the rest need the caller's page.
  const anyPage = new Set(['doc', 'ready', 'classify']);

  Object.defineProperty(globalThis, KEY, {value: (json) => {
    let r;
    try { r = JSON.parse(json); } catch (e) { return {s: -1, t: token}; }
    if (r.rt === token && Array.isArray(r.rel)) for (const h of r.rel) table.delete(h);
    const op = ops[r.op];
    if (!op || (!anyPage.has(r.op) && r.t !== token)) return {s: -1, t: token};
    try {
      const out = op(r);
      if (out.s === undefined) out.s = 0;
      out.t = token;
      return out;
    } catch (e) {
      return {s: -1, t: token, e: String(e)};
    }
  }});

  // ---- a frame reports its own load -----------------------------------------------------------
  if (window !== window.top) {
    const report = (what) => {
      try {
        window.webkit.messageHandlers.larkwend.postMessage({e: what, url: D.url.call(document)});
      } catch (e) {}
    };
    report('start');
    E.listen.call(window, 'load', () => report('complete'));
  }
})();
)js";

}  // namespace

const char* BridgeScript() {
  return kScript;
}

}  // namespace larkwend::gtk
