#include "platform/web/WebDocument.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isVoid(std::string_view name) {
    return isOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
                          "track", "wbr", "basefont", "bgsound", "frame", "keygen"});
}

bool isRawText(std::string_view name) {
    return isOneOf(name, {"script", "style", "xmp", "iframe", "noembed", "noframes", "plaintext", "noscript", "textarea", "title"});
}

// Elements a later sibling start tag closes: they never nest by themselves.
bool closesItself(std::string_view name) {
    return isOneOf(name, {"p", "li", "dt", "dd", "option", "optgroup", "tr", "td", "th", "rb", "rt", "rp", "tbody", "thead",
                          "tfoot", "colgroup", "caption"});
}

std::string gumboName(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    return lower(std::string_view(piece.data, piece.length));
}

void escapeInto(std::string& out, std::string_view text, bool attribute) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '&') out += "&amp;";
        else if (c == '"' && attribute) out += "&quot;";
        else if (c == '<' && !attribute) out += "&lt;";
        else if (c == '>' && !attribute) out += "&gt;";
        else if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
            out += "&nbsp;";
            ++i;
        } else out += c;
    }
}

struct GumboOutputDeleter {
    void operator()(GumboOutput* output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

} // namespace

const std::string* WebNode::attribute(std::string_view key) const {
    for (auto& [name, value] : attributes)
        if (name == key) return &value;
    return nullptr;
}

void WebNode::setAttribute(const std::string& key, std::string value) {
    for (auto& [name, old] : attributes)
        if (name == key) {
            old = std::move(value);
            return;
        }
    attributes.emplace_back(key, std::move(value));
}

void WebNode::removeAttribute(std::string_view key) {
    std::erase_if(attributes, [&](const auto& pair) { return pair.first == key; });
}

WebDocument::WebDocument() { parse({}); }

WebNode* WebDocument::make(WebNode::Kind kind, std::string nameOrData) {
    auto node = std::make_unique<WebNode>();
    node->kind = kind;
    node->id = static_cast<int>(nodes_.size());
    (kind == WebNode::Kind::Element ? node->name : node->data) = std::move(nameOrData);
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
}

WebNode* WebDocument::node(long id) const {
    return id >= 0 && static_cast<std::size_t>(id) < nodes_.size() ? nodes_[static_cast<std::size_t>(id)].get() : nullptr;
}

WebNode* WebDocument::child(const WebNode* parent, std::string_view name) const {
    if (!parent) return nullptr;
    for (auto* c : parent->children)
        if (c->kind == WebNode::Kind::Element && c->name == name) return c;
    return nullptr;
}

WebNode* WebDocument::documentElement() const { return child(root(), "html"); }

void WebDocument::ensureSkeleton() {
    if (!documentElement()) insertBefore(root(), make(WebNode::Kind::Element, "html"), nullptr);
    auto* html = documentElement();
    if (!head()) insertBefore(html, make(WebNode::Kind::Element, "head"), html->children.empty() ? nullptr : html->children.front());
    if (!body()) insertBefore(html, make(WebNode::Kind::Element, "body"), nullptr);
}

bool WebDocument::parse(std::string_view html) {
    nodes_.clear();
    scriptNodes_ = scriptBytes_ = 0;
    make(WebNode::Kind::Document, {});
    auto made = parseInto(html, nullptr, kMaxParsedNodes);
    if (made)
        for (auto* node : *made) insertBefore(root(), node, nullptr);
    ensureSkeleton();
    return made.has_value();
}

std::optional<std::vector<WebNode*>> WebDocument::parseInto(std::string_view html, const std::string* context, std::size_t maxNodes) {
    lastParsedNodes_ = 0;
    if (html.size() > kMaxParsedBytes) return std::nullopt;
    std::size_t estimate = 0;
    std::string bounded = boundNesting(html, kMaxNesting, &estimate);
    if (estimate > maxNodes) return std::nullopt;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    if (context) {
        options.fragment_context = gumbo_tag_enum(context->c_str());
        if (options.fragment_context == GUMBO_TAG_UNKNOWN) options.fragment_context = GUMBO_TAG_DIV;
    }
    std::unique_ptr<GumboOutput, GumboOutputDeleter> output(gumbo_parse_with_options(&options, bounded.data(), bounded.size()));
    if (!output) return std::nullopt;
    const std::size_t before = nodes_.size();
    const GumboNode* top = context ? output->root : output->document;
    std::vector<WebNode*> made;
    std::vector<std::pair<const GumboNode*, WebNode*>> pending;
    const GumboVector& children = top->type == GUMBO_NODE_DOCUMENT ? top->v.document.children : top->v.element.children;
    for (unsigned i = children.length; i-- > 0;) pending.emplace_back(static_cast<const GumboNode*>(children.data[i]), nullptr);
    std::size_t count = 0;
    while (!pending.empty()) {
        // The parser adds a few elements markup leaves out (a table's body): past the bound all the
        // parse made goes again.
        if (count == maxNodes) {
            nodes_.resize(before);
            return std::nullopt;
        }
        auto [source, parent] = pending.back();
        pending.pop_back();
        WebNode* node = nullptr;
        switch (source->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            node = make(WebNode::Kind::Element, gumboName(source->v.element));
            node->scriptStarted = node->name == "script";
            const GumboVector& attributes = source->v.element.attributes;
            for (unsigned i = 0; i < attributes.length; ++i) {
                auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
                node->setAttribute(lower(attribute->name), attribute->value);
            }
            const GumboVector& kids = source->v.element.children;
            for (unsigned i = kids.length; i-- > 0;) pending.emplace_back(static_cast<const GumboNode*>(kids.data[i]), node);
            break;
        }
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            node = make(WebNode::Kind::Text, source->v.text.text);
            break;
        case GUMBO_NODE_COMMENT:
            node = make(WebNode::Kind::Comment, source->v.text.text);
            break;
        default:
            continue;
        }
        ++count;
        // Children are pushed in reverse, so each parent receives them in document order.
        if (parent) {
            node->parent = parent;
            parent->children.push_back(node);
        } else {
            made.push_back(node);
        }
    }
    lastParsedNodes_ = count;
    return made;
}

WebNode* WebDocument::create(WebNode::Kind kind, std::string nameOrData) {
    if (scriptNodes_ >= kMaxNodes || !spend(nameOrData.size())) return nullptr;
    ++scriptNodes_;
    return make(kind, std::move(nameOrData));
}

bool WebDocument::spend(std::size_t bytes) {
    if (bytes > kMaxScriptBytes - scriptBytes_) return false;
    scriptBytes_ += bytes;
    return true;
}

bool WebDocument::insertBefore(WebNode* parent, WebNode* child, WebNode* before) {
    if (!parent || !child || child == root()) return false;
    for (auto* up = parent; up; up = up->parent)
        if (up == child) return false;
    if (before && before->parent != parent) return false;
    if (before == child) return true;
    detach(child);
    auto at = before ? std::find(parent->children.begin(), parent->children.end(), before) : parent->children.end();
    parent->children.insert(at, child);
    child->parent = parent;
    return true;
}

void WebDocument::detach(WebNode* child) {
    if (!child || !child->parent) return;
    std::erase(child->parent->children, child);
    child->parent = nullptr;
}

bool WebDocument::isConnected(const WebNode* node) const {
    while (node && node->parent) node = node->parent;
    return node == root();
}

std::vector<WebNode*> WebDocument::descendants(const WebNode* from) const {
    std::vector<WebNode*> out;
    std::vector<WebNode*> stack(from->children.rbegin(), from->children.rend());
    while (!stack.empty()) {
        WebNode* node = stack.back();
        stack.pop_back();
        out.push_back(node);
        stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
    }
    return out;
}

std::string WebDocument::innerHTML(const WebNode* node) const {
    std::string out;
    // Each entry is a node to open, or (closing) an element whose end tag is due.
    std::vector<std::pair<const WebNode*, bool>> stack;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) stack.emplace_back(*it, false);
    while (!stack.empty()) {
        auto [current, closing] = stack.back();
        stack.pop_back();
        if (closing) {
            out += "</" + current->name + ">";
            continue;
        }
        switch (current->kind) {
        case WebNode::Kind::Text:
            if (current->parent && current->parent->kind == WebNode::Kind::Element && isRawText(current->parent->name) &&
                current->parent->name != "textarea" && current->parent->name != "title")
                out += current->data;
            else
                escapeInto(out, current->data, false);
            break;
        case WebNode::Kind::Comment:
            out += "<!--" + current->data + "-->";
            break;
        case WebNode::Kind::Element:
            out += "<" + current->name;
            for (auto& [key, value] : current->attributes) {
                out += " " + key + "=\"";
                escapeInto(out, value, true);
                out += "\"";
            }
            out += ">";
            if (isVoid(current->name)) break;
            stack.emplace_back(current, true);
            for (auto it = current->children.rbegin(); it != current->children.rend(); ++it) stack.emplace_back(*it, false);
            break;
        case WebNode::Kind::Document:
            break;
        }
    }
    return out;
}

std::optional<std::vector<WebNode*>> WebDocument::parseFragment(const WebNode* context, std::string_view html) {
    if (html.size() > kMaxParsedBytes || scriptNodes_ >= kMaxNodes) return std::nullopt;
    const std::size_t before = nodes_.size();
    auto made = parseInto(html, &context->name, std::min(kMaxParsedNodes, kMaxNodes - scriptNodes_));
    scriptNodes_ += nodes_.size() - before;
    return made;
}

bool WebDocument::setInnerHTML(WebNode* node, std::string_view html) {
    auto made = parseFragment(node, html);
    if (!made) return false;
    while (!node->children.empty()) detach(node->children.back());
    for (auto* top : *made) insertBefore(node, top, nullptr);
    return true;
}

std::optional<std::vector<WebNode*>> WebDocument::insertHTML(WebNode* parent, WebNode* before, std::string_view html) {
    auto made = parseFragment(parent, html);
    if (made)
        for (auto* top : *made) insertBefore(parent, top, before);
    return made;
}

std::string WebDocument::textContent(const WebNode* node) const {
    if (node->kind == WebNode::Kind::Text || node->kind == WebNode::Kind::Comment) return node->data;
    std::string out;
    for (auto* d : descendants(node))
        if (d->kind == WebNode::Kind::Text) out += d->data;
    return out;
}

bool WebDocument::setTextContent(WebNode* node, std::string text) {
    if (node->kind == WebNode::Kind::Text || node->kind == WebNode::Kind::Comment) {
        node->data = std::move(text);
        return true;
    }
    if (!text.empty() && scriptNodes_ >= kMaxNodes) return false;
    while (!node->children.empty()) detach(node->children.back());
    if (text.empty()) return true;
    ++scriptNodes_;
    insertBefore(node, make(WebNode::Kind::Text, std::move(text)), nullptr);
    return true;
}

WebNode* WebDocument::elementById(std::string_view id) const {
    for (auto* d : descendants(root())) {
        const std::string* value = d->kind == WebNode::Kind::Element ? d->attribute("id") : nullptr;
        if (value && *value == id) return d;
    }
    return nullptr;
}

std::vector<WebNode*> WebDocument::elementsByTagName(const WebNode* from, std::string_view tag) const {
    std::vector<WebNode*> out;
    for (auto* d : descendants(from))
        if (d->kind == WebNode::Kind::Element && (tag == "*" || equalsIgnoringCase(d->name, tag))) out.push_back(d);
    return out;
}

std::string WebDocument::boundNesting(std::string_view html, int depth, std::size_t* nodes) {
    std::string out;
    out.reserve(html.size());
    int open = 0;
    std::size_t i = 0;
    // Each start tag makes at most one element, each comment one node and each run of text
    // between tags one text node (the parser joins adjacent ones).
    std::size_t estimate = 1;
    auto copyUntil = [&](std::string_view end) {
        std::size_t at = html.find(end, i);
        std::size_t stop = at == std::string_view::npos ? html.size() : at + end.size();
        out.append(html.substr(i, stop - i));
        i = stop;
    };
    while (i < html.size()) {
        if (html[i] != '<') {
            std::size_t next = html.find('<', i);
            if (next == std::string_view::npos) next = html.size();
            out.append(html.substr(i, next - i));
            i = next;
            ++estimate;
            continue;
        }
        if (html.substr(i, 4) == "<!--") {
            copyUntil("-->");
            ++estimate;
            continue;
        }
        bool closing = i + 1 < html.size() && html[i + 1] == '/';
        std::size_t nameStart = i + (closing ? 2 : 1);
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
        if (nameEnd == nameStart) {
            ++estimate;  // a comment, or a "<" that is text
            if (html.substr(i, 2) == "<!" || html.substr(i, 2) == "<?") copyUntil(">");
            else out += html[i++];
            continue;
        }
        if (!closing) ++estimate;
        std::string name = lower(html.substr(nameStart, nameEnd - nameStart));
        std::size_t tagEnd = html.find('>', nameEnd);
        tagEnd = tagEnd == std::string_view::npos ? html.size() : tagEnd + 1;
        bool counted = !isVoid(name) && !closesItself(name) && !isRawText(name);
        if (closing) {
            if (counted && open > 0) --open;
        } else if (counted) {
            if (open >= depth) {
                i = tagEnd;
                continue;
            }
            ++open;
        }
        out.append(html.substr(i, tagEnd - i));
        i = tagEnd;
        if (!closing && isRawText(name)) {
            // The raw text runs to its end tag, whatever it holds.
            std::size_t end = i;
            while ((end = html.find("</", end)) != std::string_view::npos && !equalsIgnoringCase(html.substr(end + 2, name.size()), name))
                end += 2;
            std::size_t stop = end == std::string_view::npos ? html.size() : end;
            out.append(html.substr(i, stop - i));
            i = stop;
        }
    }
    if (nodes) *nodes = estimate;
    return out;
}
