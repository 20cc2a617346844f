#pragma once
// A page's document tree. Nodes live in the document's arena for the page's life and are named by
// their index, which is how scripts hold them; nothing here recurses, so a tree of any depth is
// walked, serialized and freed in constant stack. HTML is parsed by gumbo (HTML5 rules, no error
// list) after nesting deeper than kMaxNesting is flattened, which keeps gumbo's time bounded.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct WebNode {
    enum class Kind { Document, Element, Text, Comment };
    Kind kind = Kind::Element;
    int id = 0;
    std::string name;  // element tag in lower case
    std::string data;  // text or comment
    std::vector<std::pair<std::string, std::string>> attributes;
    WebNode* parent = nullptr;
    std::vector<WebNode*> children;
    // A script element that has run or never will (parsed ones are run by the loader, or not at
    // all); one a script made starts once it enters the document.
    bool scriptStarted = false;

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

    // What one parse (a page, or markup a script sets) may read and make. The parser cannot be
    // interrupted and its own tree costs tens of bytes per byte of dense markup, so these keep one
    // parse to a fraction of a second and some tens of megabytes: markup past either is refused
    // whole, its nodes counted before the parser sees it.
    static constexpr std::size_t kMaxParsedBytes = 2u << 20;
    static constexpr std::size_t kMaxParsedNodes = 50000;

    WebDocument();
    // Replaces the tree with the parsed page (html, head and body always exist); false, leaving
    // an empty page, for markup past kMaxParsedBytes or kMaxParsedNodes.
    bool parse(std::string_view html);

    WebNode* root() const { return nodes_.front().get(); }
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
    // False, changing nothing, for markup past kMaxParsedBytes or kMaxParsedNodes, or past what is
    // left of the nodes scripts may make.
    bool setInnerHTML(WebNode* node, std::string_view html);
    // Parses the markup in the parent's context and puts its nodes before `before` (at the end
    // for nil); answers the top nodes, or nothing as setInnerHTML refuses.
    std::optional<std::vector<WebNode*>> insertHTML(WebNode* parent, WebNode* before, std::string_view html);
    // The nodes the last parse made (for what it cost).
    std::size_t lastParsedNodes() const { return lastParsedNodes_; }
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

    std::vector<std::unique_ptr<WebNode>> nodes_;
    std::size_t scriptNodes_ = 0;
    std::size_t scriptBytes_ = 0;
    std::size_t lastParsedNodes_ = 0;
};
