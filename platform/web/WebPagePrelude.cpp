#include "platform/web/WebPage.h"

// The page's globals over the native document (`N`, which the prelude hides again). Element
// objects are made once per node and kept, so that listeners and expandos stay with the node.
const std::string& WebPage::prelude() {
    static const std::string text = R"JS((function (global, N, userAgent) {
'use strict';
var wrappers = {};
var timers = {};

function wrap(id) {
    if (id === null || id === undefined || id < 0) return null;
    var w = wrappers[id];
    if (w) return w;
    var kind = N.kind(id);
    w = kind === 1 ? new Element(id) : kind === 9 ? new DocumentNode(id) : new TextNode(id, kind);
    wrappers[id] = w;
    return w;
}
function idOf(node) {
    if (!node || typeof node.__id !== 'number') throw new TypeError('not a node');
    return node.__id;
}
function wrapAll(ids) {
    var out = [];
    for (var i = 0; i < ids.length; i++) out.push(wrap(ids[i]));
    return out;
}
function getter(proto, name, get, set) {
    Object.defineProperty(proto, name, { get: get, set: set, configurable: true, enumerable: true });
}

function Node() {}
getter(Node.prototype, 'parentNode', function () { return wrap(N.parent(this.__id)); });
getter(Node.prototype, 'childNodes', function () { return wrapAll(N.children(this.__id)); });
getter(Node.prototype, 'firstChild', function () { var c = N.children(this.__id); return c.length ? wrap(c[0]) : null; });
getter(Node.prototype, 'lastChild', function () { var c = N.children(this.__id); return c.length ? wrap(c[c.length - 1]) : null; });
getter(Node.prototype, 'nextSibling', function () { return sibling(this.__id, 1); });
getter(Node.prototype, 'previousSibling', function () { return sibling(this.__id, -1); });
getter(Node.prototype, 'textContent', function () { return N.getText(this.__id); },
       function (text) { N.setText(this.__id, text === null || text === undefined ? '' : String(text)); });
function sibling(id, step) {
    var parent = N.parent(id);
    if (parent < 0) return null;
    var c = N.children(parent);
    var at = c.indexOf(id) + step;
    return at >= 0 && at < c.length ? wrap(c[at]) : null;
}
Node.prototype.appendChild = function (child) { N.insert(this.__id, idOf(child), -1); return child; };
Node.prototype.insertBefore = function (child, before) {
    N.insert(this.__id, idOf(child), before ? idOf(before) : -1);
    return child;
};
Node.prototype.removeChild = function (child) {
    if (N.parent(idOf(child)) !== this.__id) throw new Error('NotFoundError: not a child of this node');
    N.remove(child.__id);
    return child;
};
Node.prototype.hasChildNodes = function () { return N.children(this.__id).length > 0; };
Node.prototype.addEventListener = function (type, listener) {
    if (typeof listener !== 'function') return;
    var all = this.__listeners || (this.__listeners = {});
    var list = all[type] || (all[type] = []);
    if (list.indexOf(listener) < 0) list.push(listener);
};
Node.prototype.removeEventListener = function (type, listener) {
    var list = this.__listeners && this.__listeners[type];
    if (!list) return;
    var at = list.indexOf(listener);
    if (at >= 0) list.splice(at, 1);
};

function TextNode(id, kind) { this.__id = id; this.nodeType = kind; }
TextNode.prototype = Object.create(Node.prototype);
getter(TextNode.prototype, 'nodeValue', function () { return N.getText(this.__id); },
       function (text) { N.setText(this.__id, String(text)); });
getter(TextNode.prototype, 'data', function () { return N.getText(this.__id); },
       function (text) { N.setText(this.__id, String(text)); });
getter(TextNode.prototype, 'nodeName', function () { return this.nodeType === 3 ? '#text' : '#comment'; });

var styleNames = {
    display: 'display', position: 'position', top: 'top', left: 'left', right: 'right', bottom: 'bottom',
    width: 'width', height: 'height', zIndex: 'z-index', backgroundColor: 'background-color',
    background: 'background', color: 'color', visibility: 'visibility', margin: 'margin', padding: 'padding',
    border: 'border', overflow: 'overflow', opacity: 'opacity', cursor: 'cursor', fontSize: 'font-size',
    textAlign: 'text-align', backgroundImage: 'background-image'
};
function parseStyle(text) {
    var out = [];
    var parts = (text || '').split(';');
    for (var i = 0; i < parts.length; i++) {
        var colon = parts[i].indexOf(':');
        if (colon < 0) continue;
        var key = parts[i].substring(0, colon).replace(/^\s+|\s+$/g, '').toLowerCase();
        if (key) out.push([key, parts[i].substring(colon + 1).replace(/^\s+|\s+$/g, '')]);
    }
    return out;
}
function Style(id) { this.__id = id; }
getter(Style.prototype, 'cssText', function () { return N.getAttr(this.__id, 'style') || ''; },
       function (text) { N.setAttr(this.__id, 'style', String(text)); });
Object.keys(styleNames).forEach(function (name) {
    var css = styleNames[name];
    getter(Style.prototype, name, function () {
        var all = parseStyle(N.getAttr(this.__id, 'style'));
        for (var i = all.length - 1; i >= 0; i--) if (all[i][0] === css) return all[i][1];
        return '';
    }, function (value) {
        var all = parseStyle(N.getAttr(this.__id, 'style')).filter(function (p) { return p[0] !== css; });
        value = value === null || value === undefined ? '' : String(value);
        if (value !== '') all.push([css, value]);
        N.setAttr(this.__id, 'style', all.map(function (p) { return p[0] + ': ' + p[1]; }).join('; '));
    });
});

function Element(id) { this.__id = id; this.nodeType = 1; }
Element.prototype = Object.create(Node.prototype);
getter(Element.prototype, 'tagName', function () { return N.name(this.__id).toUpperCase(); });
getter(Element.prototype, 'nodeName', function () { return N.name(this.__id).toUpperCase(); });
['id', 'src', 'href', 'alt', 'title', 'name', 'type', 'value'].forEach(function (name) {
    getter(Element.prototype, name, function () { var v = N.getAttr(this.__id, name); return v === null ? '' : v; },
           function (value) { N.setAttr(this.__id, name, String(value)); });
});
getter(Element.prototype, 'className', function () { var v = N.getAttr(this.__id, 'class'); return v === null ? '' : v; },
       function (value) { N.setAttr(this.__id, 'class', String(value)); });
getter(Element.prototype, 'innerHTML', function () { return N.getHTML(this.__id); },
       function (html) { N.setHTML(this.__id, html === null || html === undefined ? '' : String(html)); });
getter(Element.prototype, 'style', function () { return this.__style || (this.__style = new Style(this.__id)); });
getter(Element.prototype, 'children', function () {
    return this.childNodes.filter(function (n) { return n.nodeType === 1; });
});
Element.prototype.getAttribute = function (name) { return N.getAttr(this.__id, String(name).toLowerCase()); };
Element.prototype.setAttribute = function (name, value) {
    name = String(name).toLowerCase();
    N.setAttr(this.__id, name, String(value));
    if (this.__handlers) delete this.__handlers[name];
};
Element.prototype.removeAttribute = function (name) {
    name = String(name).toLowerCase();
    N.removeAttr(this.__id, name);
    if (this.__handlers) delete this.__handlers[name];
};
Element.prototype.hasAttribute = function (name) { return N.getAttr(this.__id, String(name).toLowerCase()) !== null; };
Element.prototype.getElementsByTagName = function (tag) { return wrapAll(N.byTag(this.__id, String(tag))); };
Element.prototype.click = function () { dispatchClick(this.__id); };

function DocumentNode(id) { this.__id = id; this.nodeType = 9; }
DocumentNode.prototype = Object.create(Node.prototype);
getter(DocumentNode.prototype, 'documentElement', function () { return wrap(N.part('html')); });
getter(DocumentNode.prototype, 'head', function () { return wrap(N.part('head')); });
getter(DocumentNode.prototype, 'body', function () { return wrap(N.part('body')); });
getter(DocumentNode.prototype, 'location', function () { return location; });
getter(DocumentNode.prototype, 'URL', function () { return N.url(); });
DocumentNode.prototype.createElement = function (tag) { return wrap(N.create(String(tag).toLowerCase())); };
DocumentNode.prototype.createTextNode = function (text) { return wrap(N.createText(String(text))); };
DocumentNode.prototype.getElementById = function (id) { return wrap(N.byId(String(id))); };
DocumentNode.prototype.getElementsByTagName = function (tag) { return wrapAll(N.byTag(this.__id, String(tag))); };

var document = wrap(0);
var location = {};
getter(location, 'href', function () { return N.url(); }, function (url) { follow(String(url), 5); });
getter(location, 'hash', function () {
    var url = N.url(), at = url.indexOf('#');
    return at < 0 || at === url.length - 1 ? '' : url.substring(at);
}, function (hash) { follow('#' + String(hash).replace(/^#/, ''), 5); });
location.toString = function () { return N.url(); };
location.assign = function (url) { follow(String(url), 5); };
location.replace = location.assign;

function startTimer(repeats, callback, delay, extra) {
    if (typeof callback !== 'function') {
        var source = String(callback);
        callback = function () { (0, eval)(source); };
    }
    var id = N.setTimer(Number(delay) || 0, repeats);
    timers[id] = { callback: callback, repeats: repeats, extra: extra };
    return id;
}
function stopTimer(id) {
    if (timers[id]) {
        delete timers[id];
        N.clearTimer(id);
    }
}

global.window = global;
global.self = global;
global.document = document;
global.location = location;
global.navigator = { userAgent: userAgent, appName: 'Netscape', platform: 'iPhone', language: 'en-us' };
global.console = {
    log: function () { N.log(Array.prototype.slice.call(arguments).map(String).join(' ')); }
};
global.console.error = global.console.warn = global.console.info = global.console.log;
global.alert = function (text) { N.log('alert: ' + String(text)); };
global.setTimeout = function (f, d) { return startTimer(false, f, d, Array.prototype.slice.call(arguments, 2)); };
global.setInterval = function (f, d) { return startTimer(true, f, d, Array.prototype.slice.call(arguments, 2)); };
global.clearTimeout = stopTimer;
global.clearInterval = stopTimer;
global.onload = null;
global.Image = function (width, height) {
    var image = document.createElement('img');
    if (width !== undefined) image.setAttribute('width', String(width));
    if (height !== undefined) image.setAttribute('height', String(height));
    return image;
};

// The web view's way in; hidden from enumeration.
Object.defineProperty(global, '__tandrel', { value: {
    click: dispatchClick,
    tap: dispatchTap,
    timer: function (id) {
        var t = timers[id];
        if (!t) return;
        if (!t.repeats) delete timers[id];
        try { t.callback.apply(global, t.extra); } catch (e) { report(e); }
    },
    load: dispatchLoad,
    resource: resourceEvent
} });
)JS" + std::string(preludeEvents()) + R"JS(
})(this, __native, __userAgent); delete this.__native; delete this.__userAgent;)JS";
    return text;
}
