#include "platform/web/WebPage.h"

#include "platform/foundation/NSURL.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>

#include <duktape.h>

// The natives below run inside Duktape, whose errors unwind by longjmp: they keep no C++ object
// alive across a call that may throw. Texts are built in the page's scratch string (a member,
// not a local) and ids are read from the tree itself.
namespace {

thread_local std::string scratch;
thread_local std::vector<WebNode*> scratchNodes;

WebPage& page(duk_context* context) { return *static_cast<WebPage*>(WebScriptEngine::of(context).owner()); }

WebNode* nodeArgument(duk_context* context, duk_idx_t index) {
    WebNode* node = page(context).document().node(static_cast<long>(duk_require_number(context, index)));
    if (!node) (void)duk_type_error(context, "not a node of this page");
    return node;
}

WebNode* elementArgument(duk_context* context, duk_idx_t index) {
    WebNode* node = nodeArgument(context, index);
    if (node->kind != WebNode::Kind::Element) (void)duk_type_error(context, "not an element");
    return node;
}

void pushText(duk_context* context, const std::string& text) { duk_push_lstring(context, text.data(), text.size()); }

const char* textArgument(duk_context* context, duk_idx_t index, duk_size_t* length) {
    return duk_require_lstring(context, index, length);
}

void pushIds(duk_context* context) {
    duk_push_array(context);
    for (std::size_t i = 0; i < scratchNodes.size(); ++i) {
        duk_push_int(context, scratchNodes[i]->id);
        duk_put_prop_index(context, -2, static_cast<duk_uarridx_t>(i));
    }
}

duk_ret_t nativeKind(duk_context* c) {
    static const int kinds[] = {9, 1, 3, 8};
    duk_push_int(c, kinds[static_cast<int>(nodeArgument(c, 0)->kind)]);
    return 1;
}

duk_ret_t nativeName(duk_context* c) {
    pushText(c, nodeArgument(c, 0)->name);
    return 1;
}

duk_ret_t nativeParent(duk_context* c) {
    WebNode* node = nodeArgument(c, 0);
    duk_push_int(c, node->parent ? node->parent->id : -1);
    return 1;
}

duk_ret_t nativeChildren(duk_context* c) {
    WebNode* node = nodeArgument(c, 0);
    duk_push_array(c);
    for (std::size_t i = 0; i < node->children.size(); ++i) {
        duk_push_int(c, node->children[i]->id);
        duk_put_prop_index(c, -2, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

// Answers the inline scripts that entered the document with the node, for the caller to run.
duk_ret_t nativeInsert(duk_context* c) {
    WebNode* parent = nodeArgument(c, 0);
    WebNode* child = nodeArgument(c, 1);
    WebNode* before = duk_get_number(c, 2) < 0 ? nullptr : nodeArgument(c, 2);
    if (!page(c).document().insertBefore(parent, child, before)) (void)duk_error(c, DUK_ERR_ERROR, "HierarchyRequestError");
    page(c).noticeFrames(child);
    scratchNodes.clear();
    page(c).startScripts(child, scratchNodes);
    pushIds(c);
    return 1;
}

duk_ret_t nativeRemove(duk_context* c) {
    page(c).document().detach(nodeArgument(c, 0));
    return 0;
}

duk_ret_t nativeGetAttr(duk_context* c) {
    WebNode* node = elementArgument(c, 0);
    const std::string* value = node->attribute(duk_require_string(c, 1));
    if (value) pushText(c, *value);
    else duk_push_null(c);
    return 1;
}

duk_ret_t nativeSetAttr(duk_context* c) {
    WebNode* node = elementArgument(c, 0);
    duk_size_t length = 0;
    const char* value = textArgument(c, 2, &length);
    if (!page(c).document().spend(length)) (void)duk_range_error(c, "the page holds too much");
    scratch.assign(duk_require_string(c, 1));
    node->setAttribute(scratch, std::string(value, length));
    if (scratch == "src" && node->name == "iframe") page(c).noticeFrames(node);
    if (scratch == "src" && node->name == "img" && length > 0) page(c).noticeImage(node);
    if (scratch == "src" && node->name == "script" && length > 0) {
        scratchNodes.clear();
        page(c).startScripts(node, scratchNodes);
    }
    return 0;
}

duk_ret_t nativeRemoveAttr(duk_context* c) {
    elementArgument(c, 0)->removeAttribute(duk_require_string(c, 1));
    return 0;
}

duk_ret_t nativeGetHTML(duk_context* c) {
    WebNode* node = elementArgument(c, 0);
    scratch = page(c).document().innerHTML(node);
    pushText(c, scratch);
    return 1;
}

// What a parse takes on a device, by the nodes it made and the bytes it read: the parser cannot be
// interrupted, so its time counts against the evaluation once it is done.
constexpr double kParseSecondsPerNode = 2e-6;
constexpr double kParseSecondsPerByte = 1e-7;

// Markup a script gives: parsed into the parent, replacing what it holds, or put before `before`
// (at the end for nil). The parse costs the evaluation its time; what it made starts its images'
// and frames' loads, and its scripts do not run. Past a parse's bounds the markup is refused whole
// and the page hears a RangeError.
void putMarkup(duk_context* c, WebNode* parent, WebNode* before, const char* html, duk_size_t length, bool replace) {
    WebPage& p = page(c);
    if (!p.document().spend(length)) (void)duk_range_error(c, "the page holds too much");
    bool parsed = false;
    scratchNodes.clear();
    if (replace) {
        parsed = p.document().setInnerHTML(parent, std::string_view(html, length));
        if (parsed) scratchNodes.assign(parent->children.begin(), parent->children.end());
    } else if (auto made = p.document().insertHTML(parent, before, std::string_view(html, length))) {
        parsed = true;
        scratchNodes = std::move(*made);
    }
    const bool late = parsed && p.engine().spend(static_cast<double>(p.document().lastParsedNodes()) * kParseSecondsPerNode +
                                                 static_cast<double>(length) * kParseSecondsPerByte);
    if (!parsed) {
        p.host().pageMarkupRefused();
        (void)duk_range_error(c, "the page holds too much");
    }
    if (late) (void)duk_range_error(c, "the script ran past its time budget");
    for (WebNode* top : scratchNodes) {
        if (top->kind == WebNode::Kind::Element && top->name == "img") p.noticeImage(top);
        p.noticeImages(top);
        p.noticeFrames(top);
    }
}

duk_ret_t nativeSetHTML(duk_context* c) {
    WebNode* node = elementArgument(c, 0);
    duk_size_t length = 0;
    const char* html = textArgument(c, 1, &length);
    putMarkup(c, node, nullptr, html, length, true);
    return 0;
}

duk_ret_t nativeInsertHTML(duk_context* c) {
    WebNode* parent = elementArgument(c, 0);
    WebNode* before = duk_get_number(c, 1) < 0 ? nullptr : nodeArgument(c, 1);
    if (before && before->parent != parent) (void)duk_error(c, DUK_ERR_ERROR, "NotFoundError: not a child of this node");
    duk_size_t length = 0;
    const char* html = textArgument(c, 2, &length);
    putMarkup(c, parent, before, html, length, false);
    return 0;
}

duk_ret_t nativeGetOuterHTML(duk_context* c) {
    scratch = page(c).document().outerHTML(nodeArgument(c, 0));
    pushText(c, scratch);
    return 1;
}

duk_ret_t nativeClone(duk_context* c) {
    WebNode* node = nodeArgument(c, 0);
    if (node->kind == WebNode::Kind::Document) (void)duk_error(c, DUK_ERR_ERROR, "NotSupportedError: a document is not cloned here");
    WebNode* copy = page(c).document().clone(node, duk_to_boolean(c, 1));
    if (!copy) (void)duk_range_error(c, "the page holds too many nodes");
    duk_push_int(c, copy->id);
    return 1;
}

duk_ret_t nativeConnected(duk_context* c) {
    duk_push_boolean(c, page(c).document().isConnected(nodeArgument(c, 0)));
    return 1;
}

// A friendly frame's document, made when first asked for; -1 for an element that is no IFRAME.
duk_ret_t nativeFrameDocument(duk_context* c) {
    WebNode* node = elementArgument(c, 0);
    if (node->name != "iframe") {
        duk_push_int(c, -1);
        return 1;
    }
    WebNode* document = page(c).document().frameDocument(node);
    if (!document) (void)duk_range_error(c, "the page holds too many nodes");
    duk_push_int(c, document->id);
    return 1;
}

duk_ret_t nativeFrameOwner(duk_context* c) {
    WebNode* owner = page(c).document().frameOwnerOf(nodeArgument(c, 0));
    duk_push_int(c, owner ? owner->id : -1);
    return 1;
}

// What a script writes into a friendly frame's document goes to the end of its body, where it
// shows and its images and frames load as the page's own do; its scripts are not run, as what any
// frame holds is not.
duk_ret_t nativeWriteInto(duk_context* c) {
    WebNode* document = nodeArgument(c, 0);
    WebNode* body = document->kind == WebNode::Kind::Document ? page(c).document().part(document, "body") : nullptr;
    if (!body) (void)duk_type_error(c, "not a document with a body");
    duk_size_t length = 0;
    const char* html = textArgument(c, 1, &length);
    putMarkup(c, body, nullptr, html, length, false);
    return 0;
}

// Milliseconds on the platform clock (monotonic), for animation frames' time stamps.
duk_ret_t nativeNow(duk_context* c) {
    duk_push_number(c, PlatformClock::monotonic() * 1000);
    return 1;
}

duk_ret_t nativeGetText(duk_context* c) {
    scratch = page(c).document().textContent(nodeArgument(c, 0));
    pushText(c, scratch);
    return 1;
}

duk_ret_t nativeSetText(duk_context* c) {
    WebNode* node = nodeArgument(c, 0);
    duk_size_t length = 0;
    const char* text = textArgument(c, 1, &length);
    if (!page(c).document().spend(length) || !page(c).document().setTextContent(node, std::string(text, length)))
        (void)duk_range_error(c, "the page holds too much");
    return 0;
}

duk_ret_t nativeById(duk_context* c) {
    WebNode* from = duk_is_number(c, 1) ? nodeArgument(c, 1) : nullptr;
    WebNode* node = page(c).document().elementById(duk_require_string(c, 0), from);
    duk_push_int(c, node ? node->id : -1);
    return 1;
}

duk_ret_t nativeByTag(duk_context* c) {
    WebNode* from = nodeArgument(c, 0);
    scratchNodes = page(c).document().elementsByTagName(from, duk_require_string(c, 1));
    pushIds(c);
    return 1;
}

duk_ret_t nativePart(duk_context* c) {
    WebDocument& document = page(c).document();
    WebNode* of = duk_is_number(c, 1) ? nodeArgument(c, 1) : document.root();
    scratch.assign(duk_require_string(c, 0));
    WebNode* node = of->kind == WebNode::Kind::Document ? document.part(of, scratch == "html" || scratch == "head" ? scratch : "body") : nullptr;
    duk_push_int(c, node ? node->id : -1);
    return 1;
}

duk_ret_t createNode(duk_context* c, WebNode::Kind kind) {
    duk_size_t length = 0;
    const char* text = textArgument(c, 0, &length);
    WebNode* node = page(c).document().create(kind, std::string(text, length));
    if (!node) (void)duk_range_error(c, "the page holds too many nodes");
    duk_push_int(c, node->id);
    return 1;
}

duk_ret_t nativeCreate(duk_context* c) { return createNode(c, WebNode::Kind::Element); }
duk_ret_t nativeCreateText(duk_context* c) { return createNode(c, WebNode::Kind::Text); }

// Answers true when the navigation stayed in the document (a link to a place in it).
duk_ret_t nativeNavigate(duk_context* c) {
    WebPage& p = page(c);
    scratch = p.resolve(duk_require_string(c, 0));
    const bool inDocument = p.isInDocument(scratch);
    if (inDocument) p.moveInDocument(scratch);
    else p.host().pageNavigation(scratch, static_cast<long>(duk_require_number(c, 1)), -1);
    duk_push_boolean(c, inDocument);
    return 1;
}

duk_ret_t nativeURL(duk_context* c) {
    pushText(c, page(c).url());
    return 1;
}

duk_ret_t nativeSetTimer(duk_context* c) {
    double milliseconds = duk_require_number(c, 0);
    if (!(milliseconds >= 0)) milliseconds = 0;
    duk_push_number(c, static_cast<double>(page(c).host().pageTimerStart(milliseconds / 1000, duk_to_boolean(c, 1))));
    return 1;
}

duk_ret_t nativeWindowBlocked(duk_context* c) {
    WebPage& p = page(c);
    const char* url = duk_require_string(c, 0);
    scratch = *url ? p.resolve(url) : std::string("about:blank");
    p.host().pageWindowBlocked(scratch);
    return 0;
}

duk_ret_t nativeClearTimer(duk_context* c) {
    page(c).host().pageTimerStop(static_cast<long>(duk_require_number(c, 0)));
    return 0;
}

duk_ret_t nativeLog(duk_context* c) {
    page(c).host().pageConsoleLine(duk_safe_to_string(c, 0));
    return 0;
}

duk_ret_t nativeWrite(duk_context* c) {
    duk_size_t length = 0;
    const char* markup = textArgument(c, 0, &length);
    if (!page(c).write(std::string_view(markup, length))) (void)duk_range_error(c, "the page holds too much");
    return 0;
}

duk_ret_t nativeCurrentScript(duk_context* c) {
    duk_push_number(c, static_cast<double>(page(c).currentScript()));
    return 1;
}

duk_ret_t nativeReadyState(duk_context* c) {
    pushText(c, page(c).readyState());
    return 1;
}

duk_ret_t nativeListen(duk_context* c) {
    scratch.assign(duk_require_string(c, 0));
    page(c).noteListener(scratch);
    return 0;
}

duk_ret_t nativeViewport(duk_context* c) {
    double width = 0, height = 0, scale = 1;
    page(c).host().pageViewport(width, height, scale);
    duk_push_array(c);
    const double values[] = {width, height, scale};
    for (duk_uarridx_t i = 0; i < 3; ++i) {
        duk_push_number(c, values[i]);
        duk_put_prop_index(c, -2, i);
    }
    return 1;
}

struct Native {
    const char* name;
    duk_c_function function;
    duk_idx_t arguments;
};

const Native kNatives[] = {
    {"kind", nativeKind, 1},         {"name", nativeName, 1},         {"parent", nativeParent, 1},
    {"children", nativeChildren, 1}, {"insert", nativeInsert, 3},     {"remove", nativeRemove, 1},
    {"getAttr", nativeGetAttr, 2},   {"setAttr", nativeSetAttr, 3},   {"removeAttr", nativeRemoveAttr, 2},
    {"getHTML", nativeGetHTML, 1},   {"setHTML", nativeSetHTML, 2},   {"getText", nativeGetText, 1},
    {"setText", nativeSetText, 2},   {"byId", nativeById, 2},         {"byTag", nativeByTag, 2},
    {"part", nativePart, 2},         {"create", nativeCreate, 1},     {"createText", nativeCreateText, 1},
    {"navigate", nativeNavigate, 2}, {"url", nativeURL, 0},           {"setTimer", nativeSetTimer, 2},
    {"clearTimer", nativeClearTimer, 1}, {"log", nativeLog, 1},   {"write", nativeWrite, 1},
    {"currentScript", nativeCurrentScript, 0}, {"readyState", nativeReadyState, 0}, {"listen", nativeListen, 1},
    {"viewport", nativeViewport, 0}, {"insertHTML", nativeInsertHTML, 3}, {"getOuterHTML", nativeGetOuterHTML, 1},
    {"clone", nativeClone, 2},       {"connected", nativeConnected, 1}, {"frameDocument", nativeFrameDocument, 1},
    {"frameOwner", nativeFrameOwner, 1}, {"writeInto", nativeWriteInto, 2}, {"now", nativeNow, 0},
    {"windowBlocked", nativeWindowBlocked, 1},
};

} // namespace

WebPage::WebPage(WebPageHost& host, std::string url, std::size_t heapCap, const std::string& userAgent)
    : host_(host), url_(std::move(url)), engine_(heapCap) {
    engine_.setOwner(this);
    duk_context* c = engine_.context();
    duk_push_object(c);
    for (const Native& native : kNatives) {
        duk_push_c_function(c, native.function, native.arguments);
        duk_put_prop_string(c, -2, native.name);
    }
    duk_put_global_string(c, "__native");
    pushText(c, userAgent);
    duk_put_global_string(c, "__userAgent");
    // The engine's own global reaches past the page: its finalizers would run page code when the
    // page goes, outside any evaluation and its budget.
    duk_push_global_object(c);
    duk_del_prop_string(c, -1, "Duktape");
    duk_pop(c);
    // Parsed once for the process: a fresh heap per page is the cost of isolation, a fresh parse
    // of the same globals is not.
    static const std::string compiledPrelude = WebScriptEngine::compile(prelude(), "prelude");
    auto outcome = compiledPrelude.empty() ? engine_.evaluate(prelude(), "prelude", 10)
                                           : engine_.runCompiled(compiledPrelude, "prelude", 10);
    if (outcome.threw) host_.pageConsoleLine("page set-up failed: " + outcome.error);
}

std::string WebPage::resolve(const std::string& reference) const {
    auto base = NSURL::URLWithString(url_);
    auto resolved = base ? NSURL::URLWithString(reference, base) : nullptr;
    if (resolved) return resolved->absoluteString();
    return reference;
}

WebScriptEngine::Outcome WebPage::evaluate(const std::string& source, const std::string& fileName, double budgetSeconds) {
    const bool outermost = !engine_.isEvaluating();
    if (outermost) host_.pageScriptWillRun();
    auto outcome = engine_.evaluate(source, fileName, budgetSeconds);
    if (outermost) host_.pageScriptDidRun();
    if (outcome.timedOut) host_.pageConsoleLine("script stopped: it ran past its time budget (" + fileName + ")");
    else if (outcome.threw) host_.pageConsoleLine("Uncaught " + outcome.error);
    if (outcome.timedOut) outcome.value.clear();
    return outcome;
}

void WebPage::tap(const WebNode* node, double budgetSeconds) {
    evaluate("__tandrel.tap(" + std::to_string(node->id) + ")", "tap", budgetSeconds);
}

namespace {
std::string_view withoutFragment(std::string_view url) { return url.substr(0, url.find('#')); }
} // namespace

bool WebPage::isInDocument(const std::string& url) const {
    return url.find('#') != std::string::npos && withoutFragment(url) == withoutFragment(url_);
}

void WebPage::moveInDocument(const std::string& url) { url_ = url; }

void WebPage::fireTimer(long timer, double budgetSeconds) {
    evaluate("__tandrel.timer(" + std::to_string(timer) + ")", "timer", budgetSeconds);
}

void WebPage::fireLoad(double budgetSeconds) {
    readyState_ = "complete";
    evaluate("__tandrel.load()", "onload", budgetSeconds);
}

void WebPage::fireResourceEvent(long node, const std::string& source, bool loaded, double budgetSeconds) {
    WebNode* element = document_.node(node);
    const std::string* now = element ? element->attribute("src") : nullptr;
    if (!now || *now != source || (element->name == "iframe" && !document_.isConnected(element))) return;
    evaluate("__tandrel.resource(" + std::to_string(node) + (loaded ? ", 'load')" : ", 'error')"), element->name, budgetSeconds);
}

void WebPage::noticeImage(WebNode* image) {
    const std::string* src = image->attribute("src");
    if (src && !src->empty()) host_.pageImageRequested(image->id, *src, resolve(*src));
}

void WebPage::noticeImages(WebNode* node) {
    for (auto* d : document_.descendants(node))
        if (d->kind == WebNode::Kind::Element && d->name == "img") noticeImage(d);
}

void WebPage::noticeFrames(WebNode* node) {
    if (!document_.isConnected(node)) return;
    auto check = [&](WebNode* element) {
        const std::string* src = element->kind == WebNode::Kind::Element && element->name == "iframe" ? element->attribute("src") : nullptr;
        if (src && !src->empty()) host_.pageNavigation(resolve(*src), 5, element->id);
    };
    check(node);
    for (auto* d : document_.descendants(node)) check(d);
}

bool WebPage::write(std::string_view markup) {
    if (!document_.spend(markup.size())) return false;
    if (currentScript_ >= 0) {
        if (written_.size() + markup.size() > WebDocument::kMaxParsedBytes) return false;
        written_.append(markup);
        return true;
    }
    WebNode* body = document_.body();
    auto made = body ? document_.insertHTML(body, nullptr, markup) : std::nullopt;
    if (!made) {
        if (body) host_.pageMarkupRefused();
        return false;
    }
    for (WebNode* top : *made) {
        noticeImages(top);
        if (top->kind == WebNode::Kind::Element && top->name == "img") noticeImage(top);
        noticeFrames(top);
        if (top->kind == WebNode::Kind::Element && top->name == "script") host_.pageScriptAdded(top->id);
        for (WebNode* script : document_.elementsByTagName(top, "script")) host_.pageScriptAdded(script->id);
    }
    return true;
}

std::vector<int> WebPage::insertWritten() {
    std::vector<int> scripts;
    if (written_.empty()) return scripts;
    std::string markup = std::move(written_);
    written_.clear();
    // A script in the head writes where the body begins, as the parser would leave the head for
    // what a banner writes.
    WebNode* script = document_.node(currentScript_);
    WebNode* parent = script ? script->parent : nullptr;
    WebNode* before = nullptr;
    if (!parent || parent == document_.head() || parent == document_.documentElement() || parent == document_.root()) {
        parent = document_.body();
        before = parent && !parent->children.empty() ? parent->children.front() : nullptr;
    } else {
        auto at = std::find(parent->children.begin(), parent->children.end(), script);
        if (at != parent->children.end() && ++at != parent->children.end()) before = *at;
    }
    auto made = parent ? document_.insertHTML(parent, before, markup) : std::nullopt;
    if (!made) {
        host_.pageMarkupRefused();
        return scripts;
    }
    for (WebNode* top : *made) {
        if (top->kind == WebNode::Kind::Element && top->name == "img") noticeImage(top);
        noticeImages(top);
        noticeFrames(top);
        if (top->kind == WebNode::Kind::Element && top->name == "script") scripts.push_back(top->id);
        for (WebNode* inner : document_.elementsByTagName(top, "script")) scripts.push_back(inner->id);
    }
    return scripts;
}

void WebPage::startScripts(WebNode* node, std::vector<WebNode*>& inlineScripts) {
    if (!document_.isConnected(node)) return;
    auto start = [&](WebNode* element) {
        if (element->kind != WebNode::Kind::Element || element->name != "script" || element->scriptStarted) return;
        const std::string* src = element->attribute("src");
        if (src && !src->empty()) {
            element->scriptStarted = true;
            host_.pageScriptAdded(element->id);
        } else if (!document_.textContent(element).empty()) {
            element->scriptStarted = true;
            inlineScripts.push_back(element);
        }
    };
    start(node);
    for (WebNode* d : document_.descendants(node)) start(d);
}

void WebPage::noteListener(const std::string& type) {
    if (type == "DOMContentLoaded" || type == "readystatechange") listensForContentLoaded_ = true;
}

void WebPage::fireContentLoaded(double budgetSeconds) {
    readyState_ = "interactive";
    if (listensForContentLoaded_) evaluate("__tandrel.contentLoaded()", "DOMContentLoaded", budgetSeconds);
}
