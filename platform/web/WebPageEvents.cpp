#include "platform/web/WebPage.h"

// The events part of the page's globals, inside the same closure as the document's (it uses
// `wrap`, `N`, `global` and `document`). Events run as browsers run them: from the target up to
// the document and the window when they bubble, the handler an element's on… attribute or
// property names first at each node, then its listeners; a handler's `false` and
// preventDefault() stop the default action, and a click on a link follows it.
const char* WebPage::preludeEvents() {
    return R"JS(
function Event(type, options) {
    this.type = String(type);
    this.bubbles = !!(options && options.bubbles);
    this.cancelable = !!(options && options.cancelable);
    this.target = null;
    this.currentTarget = null;
    this.defaultPrevented = false;
    this.timeStamp = Date.now();
    this.__stopped = false;
    this.__stoppedNow = false;
}
Event.prototype.preventDefault = function () { if (this.cancelable) this.defaultPrevented = true; };
Event.prototype.stopPropagation = function () { this.__stopped = true; };
Event.prototype.stopImmediatePropagation = function () { this.__stopped = this.__stoppedNow = true; };
Event.prototype.initEvent = function (type, bubbles, cancelable) {
    this.type = String(type);
    this.bubbles = !!bubbles;
    this.cancelable = !!cancelable;
};
getter(Event.prototype, 'returnValue', function () { return !this.defaultPrevented; },
       function (value) { if (value === false) this.preventDefault(); });
global.Event = Event;
DocumentNode.prototype.createEvent = function () { return new Event(''); };

function report(error) {
    N.log('Uncaught ' + String(error));
}

// The handlers an attribute or a property may hold, on elements and on the window.
var handlerNames = ['onclick', 'ondblclick', 'onmousedown', 'onmouseup', 'onmouseover', 'onmouseout', 'onmousemove',
                    'ontouchstart', 'ontouchmove', 'ontouchend', 'ontouchcancel', 'onload', 'onerror', 'onabort',
                    'onchange', 'oninput', 'onsubmit', 'onreset', 'onfocus', 'onblur', 'onkeydown', 'onkeyup',
                    'onkeypress', 'onscroll', 'onresize'];
// The body's attributes that are the window's handlers.
var windowHandlerNames = ['onload', 'onunload', 'onbeforeunload', 'onhashchange', 'onresize', 'onscroll', 'onerror',
                          'onfocus', 'onblur', 'onorientationchange', 'onpageshow', 'onpagehide', 'onmessage'];

// An attribute's text becomes the body of a function of `event`, over the element, then the
// document, then the window, as browsers compile it. A text that is not a function body is
// reported once and handles nothing.
function compileHandler(source, element) {
    new Function('event', source);
    var make = new Function('element', 'document', 'return function (event) { with (document) { with (element) {\n' +
                            source + '\n} } };');
    return make(element, document);
}
function attributeHandler(node, name) {
    var source = N.getAttr(node.__id, name);
    if (source === null) return null;
    var cache = node.__compiled || (node.__compiled = {});
    var entry = cache[name];
    if (!entry || entry.source !== source) {
        entry = cache[name] = { source: source, handler: null };
        try { entry.handler = compileHandler(source, node); } catch (e) { report(e); }
    }
    return entry.handler;
}
handlerNames.forEach(function (name) {
    getter(Element.prototype, name, function () {
        var own = this.__handlers && this.__handlers[name];
        return own !== undefined ? own : attributeHandler(this, name);
    }, function (handler) {
        (this.__handlers || (this.__handlers = {}))[name] = typeof handler === 'function' ? handler : null;
    });
});

// The window's handlers for an event: the one a script set on the window, then the body's
// attribute. A host that sets window.onload as a page starts, before its body is parsed, keeps
// its handler instead of losing it to the body's.
function windowHandlers(type) {
    var name = 'on' + type, out = [];
    if (typeof global[name] === 'function') out.push(global[name]);
    var body = N.part('body');
    if (body >= 0 && windowHandlerNames.indexOf(name) >= 0) {
        var handler = attributeHandler(wrap(body), name);
        if (handler && out.indexOf(handler) < 0) out.push(handler);
    }
    return out;
}
var windowTarget = {};
global.addEventListener = function (type, listener) { Node.prototype.addEventListener.call(windowTarget, type, listener); };
global.removeEventListener = function (type, listener) { Node.prototype.removeEventListener.call(windowTarget, type, listener); };
global.dispatchEvent = function (event) { return dispatch(global, event); };
Node.prototype.dispatchEvent = function (event) { return dispatch(this, event); };

function callHandler(node, handler, event) {
    try {
        if (handler.call(node, event) === false) event.preventDefault();
    } catch (e) {
        report(e);
    }
}
// Runs the event at its target and, when it bubbles, on the way up; answers whether its default
// action may go on. An event at the window has the document as its target.
function dispatch(target, event) {
    var path = [];
    if (target === global) {
        path.push(global);
        event.target = document;
    } else {
        for (var at = target.__id; at >= 0; at = N.parent(at)) path.push(wrap(at));
        if (path[path.length - 1] === document) path.push(global);
        event.target = target;
        if (!event.bubbles) path.length = 1;
    }
    for (var i = 0; i < path.length && !event.__stopped; i++) {
        var node = path[i];
        event.currentTarget = node;
        var listenerHost = node === global ? windowTarget : node;
        var handlers = node === global ? windowHandlers(event.type) : [node['on' + event.type]];
        for (var h = 0; h < handlers.length && !event.__stoppedNow; h++)
            if (typeof handlers[h] === 'function') callHandler(node === global ? global : node, handlers[h], event);
        var list = listenerHost.__listeners && listenerHost.__listeners[event.type];
        if (list) list = list.slice();
        for (var j = 0; list && j < list.length && !event.__stoppedNow; j++) {
            try {
                if (typeof list[j] === 'function') list[j].call(node, event);
                else list[j].handleEvent(event);
            } catch (e) { report(e); }
        }
    }
    event.currentTarget = null;
    return !event.defaultPrevented;
}
function fire(target, type, bubbles, cancelable) {
    return dispatch(target, new Event(type, { bubbles: bubbles, cancelable: cancelable }));
}

// A navigation a link or a script asks for: a javascript: URL runs in the page, a link to a
// place in this document stays on the page, anything else goes to the web view.
function follow(url, type) {
    var script = /^\s*javascript:([\s\S]*)$/i.exec(url);
    if (script) {
        var source = script[1];
        try { source = decodeURIComponent(source); } catch (e) {}
        try { (0, eval)(source); } catch (e) { report(e); }
        return;
    }
    var before = N.url();
    if (N.navigate(url, type) && N.url() !== before) {
        var event = new Event('hashchange', {});
        event.oldURL = before;
        event.newURL = N.url();
        dispatch(global, event);
    }
}
function dispatchClick(id) {
    var target = wrap(id);
    if (!fire(target, 'click', true, true)) return;
    for (var at = id; at >= 0; at = N.parent(at)) {
        if (N.kind(at) === 1 && N.name(at) === 'a' && N.getAttr(at, 'href') !== null) return follow(N.getAttr(at, 'href'), 0);
    }
}
// A tap: the touch, then, unless a touch handler prevented it, the mouse events and the click.
function dispatchTap(id) {
    var target = wrap(id);
    var touched = fire(target, 'touchstart', true, true);
    if (!fire(target, 'touchend', true, true) || !touched) return;
    fire(target, 'mousedown', true, true);
    fire(target, 'mouseup', true, true);
    dispatchClick(id);
}
// An image's or a frame's outcome, which the web view reports once the resource was fetched or
// failed (the page's own images before the window's load); neither bubbles.
function resourceEvent(id, type) {
    fire(wrap(id), type, false, false);
}
function dispatchLoad() {
    fire(document, 'readystatechange', false, false);
    fire(global, 'load', false, false);
}
function dispatchContentLoaded() {
    fire(document, 'readystatechange', false, false);
    fire(document, 'DOMContentLoaded', true, false);
}
)JS";
}
