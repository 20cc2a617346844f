#pragma once
// A page's document tree. Nodes live in the document's arena for the page's life and are named by
// their index, which is how scripts hold them; nothing here recurses, so a tree of any depth is
// walked, serialized and freed in constant stack. HTML is parsed by gumbo (HTML5 rules, no error
// list) after nesting deeper than kMaxNesting is flattened, which keeps gumbo's time bounded.

#include <cstddef>
#include <memory>
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

    // What one parse (a page, or markup a script sets) reads and makes: the parser's own tree costs
    // tens of bytes per byte of markup, so a page past this is refused, and nodes past the count
    // are left out.
    static constexpr std::size_t kMaxParsedBytes = 4u << 20;
    static constexpr std::size_t kMaxParsedNodes = 250000;

    WebDocument();
    // Replaces the tree with the parsed page (html, head and body always exist); false, leaving
    // an empty page, for markup past kMaxParsedBytes.
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
    // False, changing nothing, for markup past kMaxParsedBytes or once scripts made kMaxNodes
    // nodes (a parse stops at the allowance).
    bool setInnerHTML(WebNode* node, std::string_view html);
    std::string textContent(const WebNode* node) const;
    // False, changing nothing, when the text needs a node past the allowance.
    bool setTextContent(WebNode* node, std::string text);

    WebNode* elementById(std::string_view id) const;
    // Elements below `from` (not itself) with the tag, "*" for any, in document order.
    std::vector<WebNode*> elementsByTagName(const WebNode* from, std::string_view tag) const;
    // Every node below `from`, in document order.
    std::vector<WebNode*> descendants(const WebNode* from) const;

    // The text with start tags deeper than `depth` left out (their text and end tags stay).
    static std::string boundNesting(std::string_view html, int depth = kMaxNesting);

private:
    WebNode* make(WebNode::Kind kind, std::string nameOrData);
    WebNode* child(const WebNode* parent, std::string_view name) const;
    void ensureSkeleton();
    std::vector<WebNode*> parseInto(std::string_view html, const std::string* context, std::size_t maxNodes);

    std::vector<std::unique_ptr<WebNode>> nodes_;
    std::size_t scriptNodes_ = 0;
    std::size_t scriptBytes_ = 0;
};
