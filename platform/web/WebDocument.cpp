#include "platform/web/WebDocument.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

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

// What the markup can make at most, counted before it is parsed: nodes (elements, texts and
// comments), attributes in all, and the most attributes one element can hold.
struct MarkupCounts {
    std::size_t nodes = 0;
    std::size_t attributes = 0;
    std::size_t elementAttributes = 0;
    std::size_t formattingPairs = 0;
};

// Elements the parser keeps a list of while they are open, and makes again where markup left them
// open; each one it adds is compared, attribute by attribute, with those of its name in the list.
bool isFormatting(std::string_view name) {
    return isOneOf(name, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"});
}

std::optional<std::string> boundNestingIfNeeded(std::string_view html, int depth, MarkupCounts* counts);

// What a block of `size` bytes takes from the C heap: the allocator's chunk, its header included.
std::size_t heapChunkBytes(std::size_t size) { return size == 0 ? 0 : std::max<std::size_t>(32, (size + 8 + 15) & ~std::size_t{15}); }

std::size_t textHeapBytes(std::size_t length) { return length > std::string().capacity() ? heapChunkBytes(length + 1) : 0; }

// What the copy of a parsed node will hold, itself included, before it is made: its texts, and
// its attributes and children at their exact count.
std::size_t copiedNodeBytes(const GumboNode& source, std::size_t nameLength) {
    std::size_t bytes = sizeof(WebNode);
    if (source.type != GUMBO_NODE_ELEMENT && source.type != GUMBO_NODE_TEMPLATE) return bytes + textHeapBytes(std::strlen(source.v.text.text));
    const GumboVector& attributes = source.v.element.attributes;
    bytes += textHeapBytes(nameLength) + heapChunkBytes(source.v.element.children.length * sizeof(WebNode*)) +
             heapChunkBytes(attributes.length * sizeof(std::pair<std::string, std::string>));
    for (unsigned i = 0; i < attributes.length; ++i) {
        auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
        bytes += textHeapBytes(std::strlen(attribute->name)) + textHeapBytes(std::strlen(attribute->value));
    }
    return bytes;
}

// One parse's account of what it holds: the parser's blocks, each linked in a list from its
// header so that a parse given up midway frees all it made, and what is charged besides (the
// bounded copy of the markup, the nodes made). Past its allowance the parser is left by longjmp
// from its allocator: it is C, so no destructor is skipped, and nothing it made outlives the list.
struct ParseMeter {
    struct alignas(16) Block {
        Block* previous;
        Block* next;
    };

    explicit ParseMeter(std::size_t allowance) : allowance(allowance) {}
    ParseMeter(const ParseMeter&) = delete;
    ParseMeter& operator=(const ParseMeter&) = delete;
    ~ParseMeter() { releaseAll(); }

    bool fits(std::size_t bytes) const { return bytes <= allowance && held <= allowance - bytes; }
    // False, charging nothing, when the bytes would take the parse past its allowance.
    bool chargeWithin(std::size_t bytes) {
        if (!fits(bytes)) return false;
        charge(bytes);
        return true;
    }
    void charge(std::size_t bytes) {
        held += bytes;
        peak = std::max(peak, held);
    }
    void uncharge(std::size_t bytes) { held -= bytes; }

    static void* allocate(void* udata, std::size_t size) {
        auto& meter = *static_cast<ParseMeter*>(udata);
        if (!meter.fits(heapChunkBytes(sizeof(Block) + size)) && meter.parsing) std::longjmp(meter.bail, 1);
        auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
        if (!block) std::abort();
        block->previous = nullptr;
        block->next = meter.blocks;
        if (meter.blocks) meter.blocks->previous = block;
        meter.blocks = block;
        meter.charge(blockBytes(block));
        return block + 1;
    }
    static void release(void* udata, void* pointer) {
        if (!pointer) return;
        auto& meter = *static_cast<ParseMeter*>(udata);
        auto* block = static_cast<Block*>(pointer) - 1;
        (block->previous ? block->previous->next : meter.blocks) = block->next;
        if (block->next) block->next->previous = block->previous;
        meter.uncharge(blockBytes(block));
        std::free(block);
    }
    void releaseAll() {
        while (blocks) release(this, blocks + 1);
    }
    // The chunk the C heap gave the block (what it takes from memory, not what was asked).
    static std::size_t blockBytes(Block* block) { return malloc_usable_size(block) + sizeof(void*); }

    std::size_t allowance;
    std::size_t held = 0;
    std::size_t peak = 0;
    Block* blocks = nullptr;
    bool parsing = false;
    std::jmp_buf bail;
};

// The parser's output, or nil when it held more than the meter allows (all it held is freed).
GumboOutput* parseWithin(ParseMeter& meter, const GumboOptions& options, std::string_view markup) {
    meter.parsing = true;
    if (setjmp(meter.bail) != 0) {
        meter.parsing = false;
        meter.releaseAll();
        return nullptr;
    }
    GumboOutput* output = gumbo_parse_with_options(&options, markup.data(), markup.size());
    meter.parsing = false;
    return output;
}

// Frees what the parser made for one node as soon as the node is copied, so that the parser's tree
// shrinks as the document's grows; the node's children are freed on their own. What is left (the
// document, the output) goes with the meter.
void releaseGumboNode(ParseMeter& meter, GumboNode* node) {
    switch (node->type) {
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
        GumboVector& attributes = node->v.element.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            auto* attribute = static_cast<GumboAttribute*>(attributes.data[i]);
            ParseMeter::release(&meter, const_cast<char*>(attribute->name));
            ParseMeter::release(&meter, const_cast<char*>(attribute->value));
            ParseMeter::release(&meter, attribute);
        }
        ParseMeter::release(&meter, attributes.data);
        ParseMeter::release(&meter, node->v.element.children.data);
        break;
    }
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_CDATA:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_COMMENT:
        ParseMeter::release(&meter, const_cast<char*>(node->v.text.text));
        break;
    default:
        return;
    }
    ParseMeter::release(&meter, node);
}

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
    WebNode& node = nodes_.emplace_back();
    node.kind = kind;
    node.id = static_cast<int>(nodes_.size() - 1);
    (kind == WebNode::Kind::Element ? node.name : node.data) = std::move(nameOrData);
    return &node;
}

WebNode* WebDocument::node(long id) const {
    return id >= 0 && static_cast<std::size_t>(id) < nodes_.size() ? const_cast<WebNode*>(&nodes_[static_cast<std::size_t>(id)]) : nullptr;
}

WebNode* WebDocument::child(const WebNode* parent, std::string_view name) const {
    if (!parent) return nullptr;
    for (auto* c : parent->children)
        if (c->kind == WebNode::Kind::Element && c->name == name) return c;
    return nullptr;
}

WebNode* WebDocument::documentElement() const { return child(root(), "html"); }

WebNode* WebDocument::part(const WebNode* document, std::string_view name) const {
    WebNode* html = child(document, "html");
    return name == "html" ? html : child(html, name);
}

WebNode* WebDocument::frameDocument(WebNode* iframe) {
    if (WebNode* made = frameDocumentOf(iframe)) return made;
    if (scriptNodes_ + 4 > kMaxNodes) return nullptr;
    scriptNodes_ += 4;
    WebNode* document = make(WebNode::Kind::Document, {});
    WebNode* html = make(WebNode::Kind::Element, "html");
    insertBefore(document, html, nullptr);
    insertBefore(html, make(WebNode::Kind::Element, "head"), nullptr);
    insertBefore(html, make(WebNode::Kind::Element, "body"), nullptr);
    frameDocuments_[iframe->id] = document;
    frameOwners_[document->id] = iframe;
    return document;
}

WebNode* WebDocument::frameDocumentOf(const WebNode* iframe) const {
    auto found = iframe ? frameDocuments_.find(iframe->id) : frameDocuments_.end();
    return found == frameDocuments_.end() ? nullptr : found->second;
}

WebNode* WebDocument::frameOwnerOf(const WebNode* document) const {
    auto found = document ? frameOwners_.find(document->id) : frameOwners_.end();
    return found == frameOwners_.end() ? nullptr : found->second;
}

void WebDocument::ensureSkeleton() {
    if (!documentElement()) insertBefore(root(), make(WebNode::Kind::Element, "html"), nullptr);
    auto* html = documentElement();
    if (!head()) insertBefore(html, make(WebNode::Kind::Element, "head"), html->children.empty() ? nullptr : html->children.front());
    if (!body()) insertBefore(html, make(WebNode::Kind::Element, "body"), nullptr);
}

bool WebDocument::parse(std::string_view html) {
    nodes_.clear();
    frameDocuments_.clear();
    frameOwners_.clear();
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
    lastParsePeakBytes_ = 0;
    lastRefusal_ = Refusal::None;
    // Past the nodes a parse makes, or past what is left of those the page's scripts may add.
    const Refusal tooManyNodes = maxNodes < kMaxParsedNodes ? Refusal::ScriptNodes : Refusal::Nodes;
    if (html.size() > kMaxParsedBytes) {
        lastRefusal_ = Refusal::Bytes;
        return std::nullopt;
    }
    ParseMeter meter(kMaxParseHeldBytes);
    MarkupCounts counts;
    // The markup as it stands, unless nesting had to be cut (a copy, charged as such).
    std::optional<std::string> bounded = boundNestingIfNeeded(html, kMaxNesting, &counts);
    // Markup that shows more nodes or attributes than the bounds is refused before the parser sees it.
    if (counts.nodes > maxNodes) lastRefusal_ = tooManyNodes;
    else if (counts.elementAttributes > kMaxElementAttributes) lastRefusal_ = Refusal::ElementAttributes;
    else if (counts.attributes > kMaxParsedAttributes) lastRefusal_ = Refusal::Attributes;
    else if (counts.formattingPairs > kMaxFormattingAttributePairs) lastRefusal_ = Refusal::FormattingAttributes;
    if (lastRefusal_ != Refusal::None) return std::nullopt;
    if (bounded && !meter.chargeWithin(heapChunkBytes(bounded->capacity() + 1))) {
        lastParsePeakBytes_ = meter.peak;
        lastRefusal_ = Refusal::HeldBytes;
        return std::nullopt;
    }
    const std::string_view markup = bounded ? std::string_view(*bounded) : html;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    options.allocator = &ParseMeter::allocate;
    options.deallocator = &ParseMeter::release;
    options.userdata = &meter;
    if (context) {
        options.fragment_context = gumbo_tag_enum(context->c_str());
        if (options.fragment_context == GUMBO_TAG_UNKNOWN) options.fragment_context = GUMBO_TAG_DIV;
    }
    const std::size_t before = nodes_.size();
    auto refuse = [&](Refusal why) {
        nodes_.resize(before);
        lastParsePeakBytes_ = meter.peak;
        lastRefusal_ = why;
        return std::nullopt;
    };
    GumboOutput* output = parseWithin(meter, options, markup);
    if (!output) return refuse(Refusal::HeldBytes);
    GumboNode* top = context ? output->root : output->document;
    // The walk in document order keeps one frame per open element (the nesting is bounded), each
    // the next of its children to copy; an element's own blocks go once its children are copied.
    struct Frame {
        GumboNode* source;
        GumboVector* children;
        unsigned next;
        WebNode* node;  // nil at the top, whose nodes are answered
    };
    std::vector<WebNode*> made;
    std::vector<Frame> frames;
    frames.push_back({top, top->type == GUMBO_NODE_DOCUMENT ? &top->v.document.children : &top->v.element.children, 0, nullptr});
    std::size_t count = 0;
    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next == frame.children->length) {
            if (frame.node) releaseGumboNode(meter, frame.source);
            frames.pop_back();
            continue;
        }
        auto* source = static_cast<GumboNode*>(frame.children->data[frame.next++]);
        WebNode* parent = frame.node;
        // The parser adds elements markup leaves out (a table's body, formatting elements made
        // again): past the bound all the parse made goes again.
        const bool element = source->type == GUMBO_NODE_ELEMENT || source->type == GUMBO_NODE_TEMPLATE;
        const bool text = source->type == GUMBO_NODE_TEXT || source->type == GUMBO_NODE_CDATA || source->type == GUMBO_NODE_WHITESPACE;
        if (!element && !text && source->type != GUMBO_NODE_COMMENT) continue;
        std::string name = element ? gumboName(source->v.element) : std::string();
        // A top node also takes a place in the answer and in the node it goes to, each grown by
        // doubling. The copy is charged before it is made.
        if (count == maxNodes) return refuse(tooManyNodes);
        if (!meter.chargeWithin(copiedNodeBytes(*source, name.size()) + (parent ? 0 : 4 * sizeof(WebNode*)))) return refuse(Refusal::HeldBytes);
        ++count;
        WebNode* node = nullptr;
        if (element) {
            node = make(WebNode::Kind::Element, std::move(name));
            node->scriptStarted = node->name == "script";
            // The parser has dropped repeated names already (and lowered them, but for the
            // foreign elements' few it spells in mixed case), so each is added as it comes.
            const GumboVector& attributes = source->v.element.attributes;
            node->attributes.reserve(attributes.length);
            for (unsigned i = 0; i < attributes.length; ++i) {
                auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
                node->attributes.emplace_back(lower(attribute->name), attribute->value);
            }
            node->children.reserve(source->v.element.children.length);
        } else {
            node = make(text ? WebNode::Kind::Text : WebNode::Kind::Comment, source->v.text.text);
        }
        if (parent) {
            node->parent = parent;
            parent->children.push_back(node);
        } else {
            made.push_back(node);
        }
        if (element) frames.push_back({source, &source->v.element.children, 0, node});
        else releaseGumboNode(meter, source);
    }
    lastParsedNodes_ = count;
    lastParsePeakBytes_ = meter.peak;
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
    // Frames hold frames; each step up to a frame's IFRAME goes to a node made before its document.
    for (;;) {
        while (node && node->parent) node = node->parent;
        const WebNode* owner = node == root() ? nullptr : frameOwnerOf(node);
        if (!owner) return node == root();
        node = owner;
    }
}

WebNode* WebDocument::clone(const WebNode* node, bool deep) {
    std::vector<const WebNode*> sources{node};
    if (deep) {
        auto below = descendants(node);
        sources.insert(sources.end(), below.begin(), below.end());
    }
    std::size_t bytes = 0;
    for (const WebNode* source : sources) {
        bytes += source->name.size() + source->data.size();
        for (const auto& [key, value] : source->attributes) bytes += key.size() + value.size();
    }
    if (sources.size() > kMaxNodes - scriptNodes_ || !spend(bytes)) return nullptr;
    scriptNodes_ += sources.size();
    // In document order each node's parent was copied before it.
    std::map<const WebNode*, WebNode*> copies;
    for (const WebNode* source : sources) {
        WebNode* copy = make(source->kind, source->kind == WebNode::Kind::Element ? source->name : source->data);
        copy->attributes = source->attributes;
        copy->scriptStarted = source->scriptStarted;
        copies[source] = copy;
        if (source != node) {
            WebNode* parent = copies.at(source->parent);
            copy->parent = parent;
            parent->children.push_back(copy);
        }
    }
    return copies.at(node);
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
    std::vector<std::pair<const WebNode*, bool>> stack;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) stack.emplace_back(*it, false);
    return serialize(std::move(stack));
}

std::string WebDocument::outerHTML(const WebNode* node) const {
    if (node->kind == WebNode::Kind::Document) return innerHTML(node);
    return serialize({{node, false}});
}

std::string WebDocument::serialize(std::vector<std::pair<const WebNode*, bool>> stack) const {
    std::string out;
    // Each entry is a node to open, or (closing) an element whose end tag is due.
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
    if (scriptNodes_ >= kMaxNodes) {
        lastRefusal_ = Refusal::ScriptNodes;
        return std::nullopt;
    }
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

WebNode* WebDocument::elementById(std::string_view id, const WebNode* from) const {
    for (auto* d : descendants(from ? from : root())) {
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
    MarkupCounts counts;
    std::optional<std::string> bounded = boundNestingIfNeeded(html, depth, &counts);
    if (nodes) *nodes = counts.nodes;
    return bounded ? std::move(*bounded) : std::string(html);
}

namespace {

bool isTagSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The end of the tag whose name ends at `at` (past its ">", or the markup's end), read as the
// parser reads a tag: a quoted value may hold ">". Counts the attributes the tag writes, repeated
// names too (the parser compares each name with those before it, whatever it keeps).
std::size_t scanTag(std::string_view html, std::size_t at, std::size_t& attributes) {
    attributes = 0;
    const std::size_t end = html.size();
    while (at < end) {
        while (at < end && (isTagSpace(html[at]) || html[at] == '/')) ++at;
        if (at >= end) break;
        if (html[at] == '>') return at + 1;
        ++attributes;
        ++at;  // a name's first character may be "=" and is still a name
        while (at < end && !isTagSpace(html[at]) && html[at] != '/' && html[at] != '>' && html[at] != '=') ++at;
        while (at < end && isTagSpace(html[at])) ++at;
        if (at >= end || html[at] != '=') continue;
        ++at;
        while (at < end && isTagSpace(html[at])) ++at;
        if (at < end && (html[at] == '"' || html[at] == '\'')) {
            const std::size_t close = html.find(html[at], at + 1);
            at = close == std::string_view::npos ? end : close + 1;
        } else {
            while (at < end && !isTagSpace(html[at]) && html[at] != '>') ++at;
        }
    }
    return end;
}

// The text with start tags deeper than `depth` left out, or nothing when none is: the copy is
// made at the first tag left out, until then the text as it stands is the answer.
std::optional<std::string> boundNestingIfNeeded(std::string_view html, int depth, MarkupCounts* counts) {
    std::optional<std::string> cut;
    int open = 0;
    std::size_t i = 0;
    // Each start tag makes at most one element, each comment one node and each run of text
    // between tags one text node (the parser joins adjacent ones).
    std::size_t estimate = 1;
    // The parser merges the attributes of every html start tag into the one html element, and of
    // every body start tag into the one body element, looking each name up among those it holds.
    std::size_t attributes = 0, mostAttributes = 0, htmlAttributes = 0, bodyAttributes = 0;
    // The attributes of the formatting elements left open, by name: an end tag closes the latest.
    std::map<std::string, std::pair<std::vector<std::size_t>, std::size_t>, std::less<>> openFormatting;
    std::size_t formattingPairs = 0;
    // Until a tag is left out, what is kept is the text up to `i`.
    auto keep = [&](std::string_view piece) {
        if (cut) cut->append(piece);
    };
    auto copyUntil = [&](std::string_view end) {
        std::size_t at = html.find(end, i);
        std::size_t stop = at == std::string_view::npos ? html.size() : at + end.size();
        keep(html.substr(i, stop - i));
        i = stop;
    };
    while (i < html.size()) {
        if (html[i] != '<') {
            std::size_t next = html.find('<', i);
            if (next == std::string_view::npos) next = html.size();
            keep(html.substr(i, next - i));
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
            else keep(html.substr(i++, 1));
            continue;
        }
        if (!closing) ++estimate;
        std::string name = lower(html.substr(nameStart, nameEnd - nameStart));
        std::size_t tagAttributes = 0;
        const std::size_t tagEnd = scanTag(html, nameEnd, tagAttributes);
        attributes += tagAttributes;
        if (!closing && name == "html") tagAttributes = htmlAttributes += tagAttributes;
        if (!closing && name == "body") tagAttributes = bodyAttributes += tagAttributes;
        mostAttributes = std::max(mostAttributes, tagAttributes);
        if (isFormatting(name)) {
            auto& [open, openAttributes] = openFormatting[name];
            if (closing && !open.empty()) {
                openAttributes -= open.back();
                open.pop_back();
            } else if (!closing && tagAttributes > 0) {
                formattingPairs += tagAttributes * std::max<std::size_t>(openAttributes, 1);
                open.push_back(tagAttributes);
                openAttributes += tagAttributes;
            }
        }
        bool counted = !isVoid(name) && !closesItself(name) && !isRawText(name);
        if (closing) {
            if (counted && open > 0) --open;
        } else if (counted) {
            if (open >= depth) {
                if (!cut) {
                    cut.emplace();
                    cut->reserve(html.size());
                    cut->append(html.substr(0, i));
                }
                i = tagEnd;
                continue;
            }
            ++open;
        }
        keep(html.substr(i, tagEnd - i));
        i = tagEnd;
        if (!closing && isRawText(name)) {
            // The raw text runs to its end tag, whatever it holds.
            std::size_t end = i;
            while ((end = html.find("</", end)) != std::string_view::npos && !equalsIgnoringCase(html.substr(end + 2, name.size()), name))
                end += 2;
            std::size_t stop = end == std::string_view::npos ? html.size() : end;
            keep(html.substr(i, stop - i));
            i = stop;
        }
    }
    if (counts) *counts = MarkupCounts{estimate, attributes, mostAttributes, formattingPairs};
    return cut;
}

} // namespace
