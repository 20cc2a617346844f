#pragma once
// A page's document tree. Nodes live in the document's arena for the page's life and are named by
// their index, which is how scripts hold them; nothing here recurses, so a tree of any depth is
// walked, serialized and freed in constant stack. HTML is parsed by gumbo (HTML5 rules, no error
// list) after nesting deeper than kMaxNesting is flattened, which keeps gumbo's time bounded.

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct WebNode {
    enum class Kind : unsigned char { Document, Element, Text, Comment };
    Kind kind = Kind::Element;
    // A script element that has run or never will (parsed ones are run by the loader, or not at
    // all); one a script made starts once it enters the document.
    bool scriptStarted = false;
    int id = 0;
    std::string name;  // element tag in lower case
    std::string data;  // text or comment
    std::vector<std::pair<std::string, std::string>> attributes;
    WebNode* parent = nullptr;
    std::vector<WebNode*> children;

    const std::string* attribute(std::string_view key) const;
    void setAttribute(const std::string& key, std::string value);
    void removeAttribute(std::string_view key);
};

class WebDocument {
public:
    static constexpr int kMaxNesting = 512;
    // What scripts may add to a page beyond what it was loaded with. Nodes a script drops stay in
    // the arena until the page goes, so every node a script makes counts, whatever became of it.
    static constexpr std::size_t kMaxNodes = 250000;
    static constexpr std::size_t kMaxScriptBytes = 64u << 20;

    // What one parse (a page, or markup a script sets) may read, make and hold. Markup past
    // kMaxParsedBytes is not read. Nodes are counted as they are made, not as the markup shows them
    // (the parser adds elements markup leaves out: a table's body, formatting elements made again
    // row after row), and a parse that makes more than kMaxParsedNodes is refused. What the parse
    // holds at once (the parser's blocks, and the nodes made with what they hold) is counted in
    // bytes as it is taken; past kMaxParseHeldBytes the parser is given up at once and all it held
    // is freed. A page at the first two bounds, however dense, holds a fraction of the third: only
    // markup that costs the parser far more than it shows (elements made again by the ten thousand,
    // attributes by the hundred thousand) meets it. Markup past any bound is refused whole.
    static constexpr std::size_t kMaxParsedBytes = 2u << 20;
    static constexpr std::size_t kMaxParsedNodes = 50000;
    static constexpr std::size_t kMaxParseHeldBytes = 32u << 20;
    // What markup may give its elements, counted before it is parsed: the parser looks each
    // attribute's name up among those its element has so far (the html and body elements take those
    // of every html or body tag), so one element's attributes cost it their count squared. An element
    // with more than kMaxElementAttributes, or markup with more than kMaxParsedAttributes in all, is
    // refused whole; pages have a few a node.
    static constexpr std::size_t kMaxElementAttributes = 256;
    static constexpr std::size_t kMaxParsedAttributes = 200000;
    // Formatting elements (a, b, font, ...) left open are compared, attribute against attribute,
    // with those of their name still open: markup whose open ones would take more comparisons than
    // this is refused too. Pages close their links and bold text, or leave a few open.
    static constexpr std::size_t kMaxFormattingAttributePairs = 16u << 20;

    // The bound that refused the last parse, for the line that says so.
    enum class Refusal { None, Bytes, Nodes, ScriptNodes, HeldBytes, ElementAttributes, Attributes, FormattingAttributes };
    Refusal lastRefusal() const { return lastRefusal_; }

    WebDocument();
    // Replaces the tree with the parsed page (html, head and body always exist); false, leaving
    // an empty page, for markup past a parse's bounds (lastRefusal() says which).
    bool parse(std::string_view html);

    WebNode* root() const { return const_cast<WebNode*>(&nodes_.front()); }
    WebNode* node(long id) const;
    WebNode* documentElement() const;
    WebNode* head() const { return child(documentElement(), "head"); }
    WebNode* body() const { return child(documentElement(), "body"); }
    // The html, head or body element of a document node: the page's, or a frame's.
    WebNode* part(const WebNode* document, std::string_view name) const;

    // A friendly frame's document: the one an IFRAME without a source of its own holds, made with
    // its html, head and body when first asked for (nil past the nodes scripts may make). Its nodes
    // live in this arena as the page's do, and count as nodes scripts made; they are in the
    // document while the IFRAME is.
    WebNode* frameDocument(WebNode* iframe);
    // The document an IFRAME holds, if one was made; the IFRAME that holds a frame's document.
    WebNode* frameDocumentOf(const WebNode* iframe) const;
    WebNode* frameOwnerOf(const WebNode* document) const;

    // Nodes made by scripts; nil past the page's allowance.
    WebNode* create(WebNode::Kind kind, std::string nameOrData);
    // Tree edits: false when the edit would put a node inside itself or `before` is not a child.
    bool insertBefore(WebNode* parent, WebNode* child, WebNode* before);
    void detach(WebNode* child);
    // In the page's document, or in a frame's whose IFRAME is.
    bool isConnected(const WebNode* node) const;
    // A copy of the node, and with `deep` of all it holds, in no document; nil, making nothing, past
    // the nodes or bytes scripts may add.
    WebNode* clone(const WebNode* node, bool deep);
    // Counts bytes scripts put into the tree; false once past the allowance.
    bool spend(std::size_t bytes);

    std::string innerHTML(const WebNode* node) const;
    std::string outerHTML(const WebNode* node) const;
    // False, changing nothing, for markup past a parse's bounds, or past what is left of the nodes
    // scripts may make.
    bool setInnerHTML(WebNode* node, std::string_view html);
    // Parses the markup in the parent's context and puts its nodes before `before` (at the end
    // for nil); answers the top nodes, or nothing as setInnerHTML refuses.
    std::optional<std::vector<WebNode*>> insertHTML(WebNode* parent, WebNode* before, std::string_view html);
    // The nodes the last parse made (for what it cost), and the most it held at once, in bytes
    // (within kMaxParseHeldBytes, or the parse was refused).
    std::size_t lastParsedNodes() const { return lastParsedNodes_; }
    std::size_t lastParsePeakBytes() const { return lastParsePeakBytes_; }
    std::string textContent(const WebNode* node) const;
    // False, changing nothing, when the text needs a node past the allowance.
    bool setTextContent(WebNode* node, std::string text);

    // The first element below `from` (the page's document when nil) with that id.
    WebNode* elementById(std::string_view id, const WebNode* from = nullptr) const;
    // Elements below `from` (not itself) with the tag, "*" for any, in document order.
    std::vector<WebNode*> elementsByTagName(const WebNode* from, std::string_view tag) const;
    // Every node below `from`, in document order.
    std::vector<WebNode*> descendants(const WebNode* from) const;

    // The text with start tags deeper than `depth` left out (their text and end tags stay). With
    // `nodes`, also counts the nodes the markup can make at most (elements, texts and comments).
    static std::string boundNesting(std::string_view html, int depth = kMaxNesting, std::size_t* nodes = nullptr);

private:
    WebNode* make(WebNode::Kind kind, std::string nameOrData);
    WebNode* child(const WebNode* parent, std::string_view name) const;
    void ensureSkeleton();
    // Markup of the nodes on the stack (the last first), each with what it holds.
    std::string serialize(std::vector<std::pair<const WebNode*, bool>> stack) const;
    // A script's markup in the context's element, counted against the nodes scripts may make.
    std::optional<std::vector<WebNode*>> parseFragment(const WebNode* context, std::string_view html);
    // The top nodes made, or nothing (and no node made) for markup past the bounds.
    std::optional<std::vector<WebNode*>> parseInto(std::string_view html, const std::string* context, std::size_t maxNodes);

    // Nodes never move once made; the arena only grows, or drops what a refused parse made.
    std::deque<WebNode> nodes_;
    std::size_t scriptNodes_ = 0;
    std::size_t scriptBytes_ = 0;
    std::size_t lastParsedNodes_ = 0;
    std::size_t lastParsePeakBytes_ = 0;
    Refusal lastRefusal_ = Refusal::None;
    // Friendly frames' documents by their IFRAME's id, and the IFRAMEs by their document's id.
    std::map<int, WebNode*> frameDocuments_;
    std::map<int, WebNode*> frameOwners_;
};
