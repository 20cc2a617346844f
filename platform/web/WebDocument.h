#pragma once
// A page's document tree. Nodes live in the document's arena for the page's life and are named by
// their index, which is how scripts hold them; nothing here recurses, so a tree of any depth is
// walked, serialized and freed in constant stack. HTML is parsed by gumbo (HTML5 rules, no error
// list) after nesting deeper than kMaxNesting is flattened, which keeps gumbo's time bounded.

#include <cstddef>
#include <deque>
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

    // What one parse (a page, or markup a script sets) may read and make. The parser's own tree
    // costs a hundred bytes and more per node, so dense markup costs tens of times its size: besides
    // the bounds in bytes read and nodes made, which keep a parse to a fraction of a second, what a
    // parse holds at its peak (the parser's blocks, and the nodes made with what they hold) is
    // charged in bytes against an allowance proportional to the markup, kParseBytesPerMarkupByte
    // times its size plus kParseSlackBytes. Markup past any of these is refused whole; the parser is
    // given up the moment it holds more than the allowance, and all it held is freed.
    static constexpr std::size_t kMaxParsedBytes = 2u << 20;
    static constexpr std::size_t kMaxParsedNodes = 50000;
    static constexpr std::size_t kParseBytesPerMarkupByte = 4;
    static constexpr std::size_t kParseSlackBytes = 4u << 20;
    static constexpr std::size_t parseAllowance(std::size_t markupBytes) {
        return kParseBytesPerMarkupByte * markupBytes + kParseSlackBytes;
    }

    WebDocument();
    // Replaces the tree with the parsed page (html, head and body always exist); false, leaving
    // an empty page, for markup past kMaxParsedBytes, kMaxParsedNodes or its parseAllowance.
    bool parse(std::string_view html);

    WebNode* root() const { return const_cast<WebNode*>(&nodes_.front()); }
    WebNode* node(long id) const;
    WebNode* documentElement() const;
    WebNode* head() const { return child(documentElement(), "head"); }
    WebNode* body() const { return child(documentElement(), "body"); }

    // Nodes made by scripts; nil past the page's allowance.
    WebNode* create(WebNode::Kind kind, std::string nameOrData);
    // Tree edits: false when the edit would put a node inside itself or `before` is not a child.
    bool insertBefore(WebNode* parent, WebNode* child, WebNode* before);
    void detach(WebNode* child);
    bool isConnected(const WebNode* node) const;
    // Counts bytes scripts put into the tree; false once past the allowance.
    bool spend(std::size_t bytes);

    std::string innerHTML(const WebNode* node) const;
    // False, changing nothing, for markup past kMaxParsedBytes, kMaxParsedNodes or its
    // parseAllowance, or past what is left of the nodes scripts may make.
    bool setInnerHTML(WebNode* node, std::string_view html);
    // Parses the markup in the parent's context and puts its nodes before `before` (at the end
    // for nil); answers the top nodes, or nothing as setInnerHTML refuses.
    std::optional<std::vector<WebNode*>> insertHTML(WebNode* parent, WebNode* before, std::string_view html);
    // The nodes the last parse made (for what it cost), and the most it held at once, in bytes
    // (within parseAllowance of its markup, or the parse was refused).
    std::size_t lastParsedNodes() const { return lastParsedNodes_; }
    std::size_t lastParsePeakBytes() const { return lastParsePeakBytes_; }
    std::string textContent(const WebNode* node) const;
    // False, changing nothing, when the text needs a node past the allowance.
    bool setTextContent(WebNode* node, std::string text);

    WebNode* elementById(std::string_view id) const;
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
};
