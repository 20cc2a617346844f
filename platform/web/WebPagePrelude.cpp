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
// A script element a script puts into the document runs: one with a source once it is fetched,
// an inline one at once, here.
function runInserted(ids) {
    for (var i = 0; i < ids.length; i++) {
        try { (0, eval)(N.getText(ids[i])); } catch (e) { report(e); }
    }
}
Node.prototype.appendChild = function (child) { runInserted(N.insert(this.__id, idOf(child), -1)); return child; };
Node.prototype.insertBefore = function (child, before) {
    runInserted(N.insert(this.__id, idOf(child), before ? idOf(before) : -1));
    return child;
};
Node.prototype.replaceChild = function (child, old) {
    this.insertBefore(child, old);
    return this.removeChild(old);
};
Node.prototype.removeChild = function (child) {
    if (N.parent(idOf(child)) !== this.__id) throw new Error('NotFoundError: not a child of this node');
    N.remove(child.__id);
    return child;
};
Node.prototype.hasChildNodes = function () { return N.children(this.__id).length > 0; };
// A copy has the node's attributes (its on… handlers among them), not its listeners or expandos.
Node.prototype.cloneNode = function (deep) { return wrap(N.clone(this.__id, !!deep)); };
Node.prototype.addEventListener = function (type, listener) {
    if (typeof listener !== 'function' && !(listener && typeof listener.handleEvent === 'function')) return;
    N.listen(String(type));
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
function domError(name, message) {
    var error = new Error(message);
    error.name = name;
    return error;
}
function markupText(html) { return html === null || html === undefined ? '' : String(html); }
// Markup put around an element is parsed in its parent's context; the element stands in no
// document, or at the top of one, has no room around it.
function parentForMarkup(id) {
    var parent = N.parent(id);
    if (parent < 0 || N.kind(parent) !== 1)
        throw domError('NoModificationAllowedError', 'The element has no parent element to take the markup.');
    return parent;
}
getter(Element.prototype, 'outerHTML', function () { return N.getOuterHTML(this.__id); }, function (html) {
    var parent = N.parent(this.__id);
    if (parent < 0) return;
    N.insertHTML(parentForMarkup(this.__id), this.__id, markupText(html));
    N.remove(this.__id);
});
Element.prototype.insertAdjacentHTML = function (position, html) {
    var where = String(position).toLowerCase(), id = this.__id, children, siblings;
    html = markupText(html);
    if (where === 'beforebegin') {
        N.insertHTML(parentForMarkup(id), id, html);
    } else if (where === 'afterend') {
        var parent = parentForMarkup(id);
        siblings = N.children(parent);
        var at = siblings.indexOf(id) + 1;
        N.insertHTML(parent, at < siblings.length ? siblings[at] : -1, html);
    } else if (where === 'afterbegin') {
        children = N.children(id);
        N.insertHTML(id, children.length ? children[0] : -1, html);
    } else if (where === 'beforeend') {
        N.insertHTML(id, -1, html);
    } else {
        throw domError('SyntaxError', "The value provided ('" + String(position) +
                       "') is not one of 'beforeBegin', 'afterBegin', 'beforeEnd', or 'afterEnd'.");
    }
};
// The page is not laid out: an element's box is that of an element with no layout box.
Element.prototype.getBoundingClientRect = function () {
    return { x: 0, y: 0, width: 0, height: 0, top: 0, right: 0, bottom: 0, left: 0 };
};
Element.prototype.getClientRects = function () { return []; };
// A frame whose IFRAME has no source of its own (or about:blank) is friendly: its window and
// document are the page's to use. Another frame's window is there, its document is not.
function isFriendlyFrame(id) {
    var src = N.getAttr(id, 'src');
    return src === null || src === '' || src === 'about:blank';
}
function frameWindow(element) {
    if (element.__frameWindow) return element.__frameWindow;
    var id = element.__id, w = { parent: global, top: global, frameElement: element, opener: null, closed: false, name: '' };
    w.window = w.self = w.frames = w;
    // A friendly frame is at about:blank; another frame's address is not the page's to read.
    getter(w, 'location', function () { return isFriendlyFrame(id) ? frameLocation : foreignLocation; });
    getter(w, 'document', function () {
        if (!isFriendlyFrame(id)) throw domError('SecurityError', 'Blocked a frame from accessing a cross-origin frame.');
        return wrap(N.frameDocument(id));
    });
    w.postMessage = w.addEventListener = w.removeEventListener = w.focus = w.blur = function () {};
    return (element.__frameWindow = w);
}
getter(Element.prototype, 'contentWindow', function () {
    if (N.name(this.__id) !== 'iframe') return undefined;
    return N.connected(this.__id) ? frameWindow(this) : null;
});
getter(Element.prototype, 'contentDocument', function () {
    if (N.name(this.__id) !== 'iframe') return undefined;
    return N.connected(this.__id) && isFriendlyFrame(this.__id) ? wrap(N.frameDocument(this.__id)) : null;
});
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
getter(Element.prototype, 'text', function () { return N.getText(this.__id); },
       function (text) { N.setText(this.__id, text === null || text === undefined ? '' : String(text)); });

// Sizes: the root and the body fill the view; other elements have what their style says in pixels.
function pixelsOf(id, property) {
    var name = N.name(id);
    if (name === 'html' || name === 'body') return N.viewport()[property === 'width' ? 0 : 1];
    var all = parseStyle(N.getAttr(id, 'style'));
    for (var i = all.length - 1; i >= 0; i--)
        if (all[i][0] === property) return parseFloat(all[i][1]) || 0;
    var attribute = N.getAttr(id, property);
    return attribute !== null ? parseFloat(attribute) || 0 : 0;
}
['clientWidth', 'offsetWidth', 'scrollWidth'].forEach(function (name) {
    getter(Element.prototype, name, function () { return pixelsOf(this.__id, 'width'); });
});
['clientHeight', 'offsetHeight', 'scrollHeight'].forEach(function (name) {
    getter(Element.prototype, name, function () { return pixelsOf(this.__id, 'height'); });
});

// classList and dataset, over the element's attributes.
function classesOf(id) {
    var value = N.getAttr(id, 'class');
    return value ? value.split(/\s+/).filter(function (c) { return c !== ''; }) : [];
}
function ClassList(id) { this.__id = id; }
ClassList.prototype.contains = function (name) { return classesOf(this.__id).indexOf(String(name)) >= 0; };
ClassList.prototype.item = function (index) { var all = classesOf(this.__id); return index < all.length ? all[index] : null; };
ClassList.prototype.add = function () {
    var all = classesOf(this.__id);
    for (var i = 0; i < arguments.length; i++) if (all.indexOf(String(arguments[i])) < 0) all.push(String(arguments[i]));
    N.setAttr(this.__id, 'class', all.join(' '));
};
ClassList.prototype.remove = function () {
    var gone = Array.prototype.map.call(arguments, String);
    N.setAttr(this.__id, 'class', classesOf(this.__id).filter(function (c) { return gone.indexOf(c) < 0; }).join(' '));
};
ClassList.prototype.toggle = function (name, force) {
    var has = this.contains(name);
    var want = force === undefined ? !has : !!force;
    if (want && !has) this.add(name);
    if (!want && has) this.remove(name);
    return want;
};
ClassList.prototype.toString = function () { return N.getAttr(this.__id, 'class') || ''; };
getter(ClassList.prototype, 'length', function () { return classesOf(this.__id).length; });
getter(ClassList.prototype, 'value', function () { return this.toString(); });
getter(Element.prototype, 'classList', function () { return this.__classList || (this.__classList = new ClassList(this.__id)); });
function dataAttribute(key) {
    return 'data-' + String(key).replace(/[A-Z]/g, function (c) { return '-' + c.toLowerCase(); });
}
getter(Element.prototype, 'dataset', function () {
    if (this.__dataset) return this.__dataset;
    var id = this.__id;
    this.__dataset = new Proxy({}, {
        get: function (target, key) {
            if (typeof key !== 'string') return undefined;
            var value = N.getAttr(id, dataAttribute(key));
            return value === null ? undefined : value;
        },
        set: function (target, key, value) { N.setAttr(id, dataAttribute(key), String(value)); return true; },
        has: function (target, key) { return N.getAttr(id, dataAttribute(key)) !== null; },
        deleteProperty: function (target, key) { N.removeAttr(id, dataAttribute(key)); return true; }
    });
    return this.__dataset;
});

// Selectors: lists of compound selectors (tag, #id, .class, [attribute], [attribute OP value],
// :first-child, :last-child) joined by descendant, child and sibling combinators, matched from the
// right.
var compiledSelectors = {};
function selectorError(text) {
    var error = new SyntaxError("'" + text + "' is not a valid selector");
    error.name = 'SyntaxError';
    return error;
}
function attributeTest(name, op, value) {
    return function (id) {
        var v = N.getAttr(id, name);
        if (v === null) return false;
        switch (op) {
        case undefined: return true;
        case '=': return v === value;
        case '~=': return value !== '' && (' ' + v.replace(/\s+/g, ' ') + ' ').indexOf(' ' + value + ' ') >= 0;
        case '^=': return value !== '' && v.indexOf(value) === 0;
        case '$=': return value !== '' && v.slice(-value.length) === value;
        case '*=': return value !== '' && v.indexOf(value) >= 0;
        default: return v === value || v.indexOf(value + '-') === 0;
        }
    };
}
function elementSiblings(id) {
    var parent = N.parent(id);
    if (parent < 0) return [id];
    return N.children(parent).filter(function (c) { return N.kind(c) === 1; });
}
function firstChildTest(id) { return elementSiblings(id)[0] === id; }
function lastChildTest(id) { var all = elementSiblings(id); return all[all.length - 1] === id; }
var selectorToken = /^\s*([>+~,])\s*|^(\s+)|^(\*|[a-zA-Z][\w-]*)|^#([\w-]+)|^\.([\w-]+)|^\[\s*([\w-]+)\s*(?:([~^$*|]?=)\s*(?:"([^"]*)"|'([^']*)'|([^\]\s]*))\s*)?\]|^:(first-child|last-child)/;
function compileSelector(text) {
    text = String(text).replace(/^\s+|\s+$/g, '');
    if (Object.prototype.hasOwnProperty.call(compiledSelectors, text)) return compiledSelectors[text];
    var groups = [], parts = [], compound = null, rest = text;
    while (rest.length) {
        var m = selectorToken.exec(rest);
        if (!m) throw selectorError(text);
        rest = rest.substring(m[0].length);
        if (m[1] || m[2]) {
            var combinator = m[1] || ' ';
            if (!compound) throw selectorError(text);
            if (combinator === ',') {
                parts.push(compound);
                groups.push(parts);
                parts = [];
            } else {
                compound.next = combinator;
                parts.push(compound);
            }
            compound = null;
            continue;
        }
        if (!compound) compound = { tag: null, tests: [], next: null };
        if (m[3]) compound.tag = m[3] === '*' ? null : m[3].toLowerCase();
        else if (m[4]) compound.tests.push(attributeTest('id', '=', m[4]));
        else if (m[5]) compound.tests.push(attributeTest('class', '~=', m[5]));
        else if (m[6]) compound.tests.push(attributeTest(m[6].toLowerCase(), m[7], m[8] !== undefined ? m[8] : m[9] !== undefined ? m[9] : m[10]));
        else compound.tests.push(m[11] === 'first-child' ? firstChildTest : lastChildTest);
    }
    if (!compound) throw selectorError(text);
    parts.push(compound);
    groups.push(parts);
    return (compiledSelectors[text] = groups);
}
function matchesCompound(id, compound) {
    if (N.kind(id) !== 1 || (compound.tag && N.name(id) !== compound.tag)) return false;
    for (var i = 0; i < compound.tests.length; i++) if (!compound.tests[i](id)) return false;
    return true;
}
function matchesFrom(id, parts, index) {
    if (!matchesCompound(id, parts[index])) return false;
    if (index === 0) return true;
    var combinator = parts[index - 1].next, at;
    if (combinator === '>') return (at = N.parent(id)) >= 0 && matchesFrom(at, parts, index - 1);
    if (combinator === ' ') {
        for (at = N.parent(id); at >= 0; at = N.parent(at)) if (matchesFrom(at, parts, index - 1)) return true;
        return false;
    }
    var siblings = elementSiblings(id);
    var before = siblings.slice(0, siblings.indexOf(id)).reverse();
    if (combinator === '+') return before.length > 0 && matchesFrom(before[0], parts, index - 1);
    for (var i = 0; i < before.length; i++) if (matchesFrom(before[i], parts, index - 1)) return true;
    return false;
}
function matchesSelector(id, groups) {
    for (var i = 0; i < groups.length; i++) if (matchesFrom(id, groups[i], groups[i].length - 1)) return true;
    return false;
}
function selectAll(root, text, first) {
    var groups = compileSelector(text), ids = N.byTag(root, '*'), out = [];
    for (var i = 0; i < ids.length; i++) {
        if (!matchesSelector(ids[i], groups)) continue;
        if (first) return wrap(ids[i]);
        out.push(wrap(ids[i]));
    }
    return first ? null : out;
}
function byClassNames(root, names) {
    var wanted = String(names).split(/\s+/).filter(function (c) { return c !== ''; });
    if (!wanted.length) return [];
    return wrapAll(N.byTag(root, '*').filter(function (id) {
        var all = classesOf(id);
        return wanted.every(function (c) { return all.indexOf(c) >= 0; });
    }));
}
Element.prototype.matches = function (text) { return matchesSelector(this.__id, compileSelector(text)); };
Element.prototype.closest = function (text) {
    var groups = compileSelector(text);
    for (var at = this.__id; at >= 0 && N.kind(at) === 1; at = N.parent(at)) if (matchesSelector(at, groups)) return wrap(at);
    return null;
};

function DocumentNode(id) { this.__id = id; this.nodeType = 9; }
DocumentNode.prototype = Object.create(Node.prototype);
// The page's document, or a friendly frame's (whose address is about:blank).
getter(DocumentNode.prototype, 'documentElement', function () { return wrap(N.part('html', this.__id)); });
getter(DocumentNode.prototype, 'head', function () { return wrap(N.part('head', this.__id)); });
getter(DocumentNode.prototype, 'body', function () { return wrap(N.part('body', this.__id)); });
getter(DocumentNode.prototype, 'location', function () { return this === document ? location : frameLocation; });
getter(DocumentNode.prototype, 'URL', function () { return this === document ? N.url() : 'about:blank'; });
// The page was not reached through a link.
getter(DocumentNode.prototype, 'referrer', function () { return ''; });
DocumentNode.prototype.createElement = function (tag) { return wrap(N.create(String(tag).toLowerCase())); };
DocumentNode.prototype.createTextNode = function (text) { return wrap(N.createText(String(text))); };
DocumentNode.prototype.getElementById = function (id) { return wrap(N.byId(String(id), this.__id)); };
DocumentNode.prototype.getElementsByTagName = function (tag) { return wrapAll(N.byTag(this.__id, String(tag))); };
// What a script writes while the page loads stands in its place once it has run (and the scripts
// in it run next); what it writes later is added to the end of the body.
// A friendly frame's document takes what is written at the end of its body; opening it empties it.
function writeTo(target, text) {
    if (target === document) N.write(text);
    else N.writeInto(target.__id, text);
}
DocumentNode.prototype.write = function () { writeTo(this, Array.prototype.map.call(arguments, String).join('')); };
DocumentNode.prototype.writeln = function () { writeTo(this, Array.prototype.map.call(arguments, String).join('') + '\n'); };
DocumentNode.prototype.open = function () {
    if (this !== document) {
        var self = this;
        ['head', 'body'].forEach(function (name) {
            var part = N.part(name, self.__id);
            if (part < 0) return;
            var children = N.children(part);
            for (var i = 0; i < children.length; i++) N.remove(children[i]);
        });
    }
    return this;
};
DocumentNode.prototype.close = function () {};
getter(DocumentNode.prototype, 'currentScript', function () { return this === document ? wrap(N.currentScript()) : null; });
getter(DocumentNode.prototype, 'readyState', function () { return this === document ? N.readyState() : 'complete'; });
getter(DocumentNode.prototype, 'defaultView', function () {
    if (this === document) return global;
    var owner = N.frameOwner(this.__id);
    return owner >= 0 ? frameWindow(wrap(owner)) : null;
});
[Element.prototype, DocumentNode.prototype].forEach(function (proto) {
    proto.querySelector = function (text) { return selectAll(this.__id, text, true); };
    proto.querySelectorAll = function (text) { return selectAll(this.__id, text, false); };
    proto.getElementsByClassName = function (names) { return byClassNames(this.__id, names); };
});

var document = wrap(0);
var location = {};
getter(location, 'href', function () { return N.url(); }, function (url) { follow(String(url), 5); });
getter(location, 'hash', function () {
    var url = N.url(), at = url.indexOf('#');
    return at < 0 || at === url.length - 1 ? '' : url.substring(at);
}, function (hash) { follow('#' + String(hash).replace(/^#/, ''), 5); });
// The parts of the page's address, as a browser's location gives them.
function addressParts(url) {
    var m = /^([a-zA-Z][a-zA-Z0-9+.\-]*:)(\/\/(?:[^@\/?#]*@)?(\[[^\]]*\]|[^\/?#:]*)(?::(\d*))?)?([^?#]*)(\?[^#]*)?/.exec(url);
    if (!m) return { protocol: '', hostname: '', port: '', pathname: '', search: '' };
    var protocol = m[1].toLowerCase(), port = m[4] || '';
    if ((protocol === 'http:' && port === '80') || (protocol === 'https:' && port === '443')) port = '';
    var pathname = m[5] || (m[2] !== undefined ? '/' : '');
    return { protocol: protocol, hostname: (m[3] || '').toLowerCase(), port: port, pathname: pathname,
             search: m[6] && m[6].length > 1 ? m[6] : '' };
}
['protocol', 'hostname', 'port', 'pathname', 'search'].forEach(function (name) {
    getter(location, name, function () { return addressParts(N.url())[name]; });
});
getter(location, 'host', function () {
    var parts = addressParts(N.url());
    return parts.hostname + (parts.port ? ':' + parts.port : '');
});
getter(location, 'origin', function () {
    var parts = addressParts(N.url());
    return parts.protocol === 'http:' || parts.protocol === 'https:' ? parts.protocol + '//' + this.host : 'null';
});
location.toString = function () { return N.url(); };
location.assign = function (url) { follow(String(url), 5); };
location.replace = location.assign;
location.reload = function () {};
var frameLocation = { href: 'about:blank', protocol: 'about:', host: '', hostname: '', port: '', pathname: 'blank',
                      search: '', hash: '', origin: 'null', toString: function () { return 'about:blank'; } };
Object.freeze(frameLocation);
var foreignLocation = {};
['href', 'protocol', 'host', 'hostname', 'port', 'pathname', 'search', 'hash', 'origin'].forEach(function (name) {
    getter(foreignLocation, name, function () {
        throw domError('SecurityError', 'Blocked a frame from accessing a cross-origin frame.');
    });
});

function startTimer(repeats, callback, delay, extra) {
    if (typeof callback !== 'function') {
        var source = String(callback);
        callback = function () { (0, eval)(source); };
    }
    // A timer past the page's bound is refused: its id is 0, which names no timer, and nothing of
    // it is kept, so that a page that asks again and again holds no more than it did.
    var id = N.setTimer(Number(delay) || 0, repeats);
    if (id) timers[id] = { callback: callback, repeats: repeats, extra: extra };
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
// The page is the top window: there is no frame around it.
global.top = global;
global.parent = global;
global.frames = global;
global.frameElement = null;
getter(global, 'innerWidth', function () { return N.viewport()[0]; });
getter(global, 'innerHeight', function () { return N.viewport()[1]; });
getter(global, 'outerWidth', function () { return N.viewport()[0]; });
getter(global, 'outerHeight', function () { return N.viewport()[1]; });
getter(global, 'devicePixelRatio', function () { return N.viewport()[2]; });
global.screen = {};
getter(global.screen, 'width', function () { return N.viewport()[0]; });
getter(global.screen, 'height', function () { return N.viewport()[1]; });
getter(global.screen, 'availWidth', function () { return N.viewport()[0]; });
getter(global.screen, 'availHeight', function () { return N.viewport()[1]; });
global.scrollX = global.scrollY = global.pageXOffset = global.pageYOffset = 0;
global.scrollTo = global.scrollBy = function () {};
global.getComputedStyle = function (element) { return element && element.style ? element.style : {}; };
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
// A window a script opens goes where the page's links go: to the web view, as a link clicked. As a
// browser's pop-up blocker has it, only a script that answers the user's touch may open one (within
// a moment of the touch, and one window a touch): any other is refused with null, and the view
// says so.
var touchedAt = -Infinity;
var kTouchOpensWithin = 1000;
global.open = function (url) {
    url = url === undefined || url === null ? '' : String(url);
    if (!(N.now() - touchedAt <= kTouchOpensWithin)) {
        N.windowBlocked(url);
        return null;
    }
    touchedAt = -Infinity;
    if (url !== '' && url !== 'about:blank') follow(url, 0);
    var opened = { closed: false, opener: global };
    opened.close = function () { opened.closed = true; };
    opened.focus = opened.blur = opened.postMessage = function () {};
    return opened;
};
// Animation frames come at the display's rate as timers of the page, stamped with the platform
// clock's time since the page began.
var timeOrigin = N.now();
global.requestAnimationFrame = function (callback) {
    if (typeof callback !== 'function') throw new TypeError('The callback provided as parameter 1 is not a function.');
    var id = N.setTimer(1000 / 60, false);
    if (id) timers[id] = { callback: function () { callback(N.now() - timeOrigin); }, repeats: false, extra: [] };
    return id;
};
global.cancelAnimationFrame = stopTimer;
var base64Digits = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
global.btoa = function (data) {
    if (arguments.length === 0) throw new TypeError('1 argument required, but only 0 present.');
    var text = String(data), out = '';
    for (var i = 0; i < text.length; i++)
        if (text.charCodeAt(i) > 255)
            throw domError('InvalidCharacterError', 'The string to be encoded contains characters outside of the Latin1 range.');
    for (i = 0; i < text.length; i += 3) {
        var left = text.length - i;
        var bits = text.charCodeAt(i) << 16 | (left > 1 ? text.charCodeAt(i + 1) << 8 : 0) | (left > 2 ? text.charCodeAt(i + 2) : 0);
        out += base64Digits.charAt(bits >> 18 & 63) + base64Digits.charAt(bits >> 12 & 63) +
               (left > 1 ? base64Digits.charAt(bits >> 6 & 63) : '=') + (left > 2 ? base64Digits.charAt(bits & 63) : '=');
    }
    return out;
};
global.atob = function (data) {
    if (arguments.length === 0) throw new TypeError('1 argument required, but only 0 present.');
    var text = String(data).replace(/[\t\n\f\r ]+/g, '');
    if (text.length % 4 === 0) text = text.replace(/==?$/, '');
    if (text.length % 4 === 1 || /[^A-Za-z0-9+\/]/.test(text))
        throw domError('InvalidCharacterError', 'The string to be decoded is not correctly encoded.');
    var out = '', bits = 0, count = 0;
    for (var i = 0; i < text.length; i++) {
        bits = (bits << 6 | base64Digits.indexOf(text.charAt(i))) & 0xffffff;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += String.fromCharCode(bits >> count & 255);
        }
    }
    return out;
};
global.Image = function (width, height) {
    var image = document.createElement('img');
    if (width !== undefined) image.setAttribute('width', String(width));
    if (height !== undefined) image.setAttribute('height', String(height));
    return image;
};

// The web view's way in; hidden from enumeration.
Object.defineProperty(global, '__tandrel', { value: {
    click: dispatchClick,
    tap: function (id) {
        touchedAt = N.now();
        dispatchTap(id);
    },
    timer: function (id) {
        var t = timers[id];
        if (!t) return;
        if (!t.repeats) delete timers[id];
        try { t.callback.apply(global, t.extra); } catch (e) { report(e); }
    },
    load: dispatchLoad,
    contentLoaded: dispatchContentLoaded,
    resource: resourceEvent
} });
)JS" + std::string(preludeEvents()) + R"JS(
})(this, __native, __userAgent); delete this.__native; delete this.__userAgent;)JS";
    return text;
}
