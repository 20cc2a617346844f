#pragma once
// An event-driven XML parser (expat underneath). parse() reads the whole document on the calling
// thread and tells the delegate of each element, run of text and CDATA section as it meets them.
// Namespace processing is off unless asked for: a prefixed name is reported as it stands.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class NSXMLParser;

extern const std::string NSXMLParserErrorDomain; // "NSXMLParserErrorDomain"

// Codes of NSXMLParserErrorDomain that this parser reports.
enum NSXMLParserError : long {
    NSXMLParserInternalError = 1,
    NSXMLParserOutOfMemoryError = 2,
    NSXMLParserDocumentStartError = 3,
    NSXMLParserEmptyDocumentError = 4,
    NSXMLParserPrematureDocumentEndError = 5,
    NSXMLParserInvalidCharacterError = 9,
    NSXMLParserUndeclaredEntityError = 26,
    NSXMLParserUnfinishedTagError = 40,
    NSXMLParserAttributeRedefinedError = 42,
    NSXMLParserTagNameMismatchError = 76,
    NSXMLParserDelegateAbortedParseError = 512,
};

// Every method is optional; the defaults do nothing, but for CDATA (below).
class NSXMLParserDelegate {
public:
    virtual ~NSXMLParserDelegate() = default;
    virtual void parserDidStartDocument(NSXMLParser&) {}
    virtual void parserDidEndDocument(NSXMLParser&) {}
    virtual void parserDidStartElement(NSXMLParser&, const std::string& /*elementName*/, const std::string& /*namespaceURI*/,
                                       const std::string& /*qualifiedName*/,
                                       const std::map<std::string, std::string>& /*attributes*/) {}
    virtual void parserDidEndElement(NSXMLParser&, const std::string& /*elementName*/, const std::string& /*namespaceURI*/,
                                     const std::string& /*qualifiedName*/) {}
    // Text comes in expat's pieces: a run of text may be split at line ends and buffer edges, and
    // each entity or character reference is a piece of its own, already replaced ("&amp;" is "&").
    virtual void parserFoundCharacters(NSXMLParser&, const std::string& /*characters*/) {}
    // The bytes of a CDATA section, in UTF-8, in one block. A delegate that does not take CDATA
    // gets the section as one piece of text.
    virtual void parserFoundCDATA(NSXMLParser& parser, const NSData& CDATABlock) {
        parserFoundCharacters(parser, std::string(CDATABlock.stringView()));
    }
    virtual void parserParseErrorOccurred(NSXMLParser&, const NSErrorPtr& /*parseError*/) {}
};

// Documents are untrusted: a document type may name its DTD by a public or system identifier
// (a property list's, XHTML's, SVG's), which is never fetched, but a document whose document type
// has an internal subset is refused at its first declaration (an entity, external or not, an
// element, attribute list or notation), or at the subset's end when it declares nothing, before
// anything declared is used: NSXMLParserInternalError, whose description names the declaration,
// and a log line. No entity but the predefined ones is ever expanded, and none is read from
// outside. The text a parse reports is bounded by the document's own length (twice its bytes, as
// UTF-8), and expat's limits on entity amplification stay on too.
// A parse is bounded in depth and length too: expat keeps a record per open element, so a
// document of nothing but nested start tags would cost many times its size; past either bound the
// parse fails with NSXMLParserInternalError before the delegate hears of the element or byte past it.
class NSXMLParser : public NSObject {
public:
    // Open elements at once; the bound of common XML parsers, far past what real documents nest.
    static constexpr long kDefaultMaximumDepth = 256;
    // Bytes of a document; a caller that knows its documents are smaller sets a tighter bound.
    static constexpr std::size_t kDefaultMaximumLength = 32 * 1024 * 1024;

    // The document's bytes (UTF-8, UTF-16 with a byte-order mark, ISO-8859-1 or US-ASCII, as its
    // declaration says).
    explicit NSXMLParser(NSDataPtr data);
    // initWithData:
    static std::shared_ptr<NSXMLParser> initWithData(NSDataPtr data) { return std::make_shared<NSXMLParser>(std::move(data)); }
    ~NSXMLParser() override;

    const std::weak_ptr<NSXMLParserDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<NSXMLParserDelegate> delegate) { delegate_ = std::move(delegate); }
    // With namespaces processed, elements are reported by local name with their namespace URI and
    // qualified name; without, by the name as written.
    bool shouldProcessNamespaces() const { return shouldProcessNamespaces_; }
    void setShouldProcessNamespaces(bool on) { shouldProcessNamespaces_ = on; }
    long maximumDepth() const { return maximumDepth_; }
    void setMaximumDepth(long depth) { maximumDepth_ = depth > 0 ? depth : kDefaultMaximumDepth; }
    std::size_t maximumLength() const { return maximumLength_; }
    void setMaximumLength(std::size_t length) { maximumLength_ = length > 0 ? length : kDefaultMaximumLength; }

    // Runs the parse to the end: true when the document was well formed and nobody aborted it.
    // A parser parses once; a second call answers false.
    bool parse();
    // From a delegate call: stops the parse, which then fails with
    // NSXMLParserDelegateAbortedParseError.
    void abortParsing();
    // The error that ended the parse, or nil.
    const NSErrorPtr& parserError() const { return parserError_; }
    // Position of the parse (1-based line, 0-based column) during a delegate call, or where it
    // stopped.
    long lineNumber() const { return lineNumber_; }
    long columnNumber() const { return columnNumber_; }

    const NSDataPtr& data() const { return data_; }

private:
    struct Expat;
    friend struct Expat;
    void fail(long code, const std::string& description);

    NSDataPtr data_;
    std::weak_ptr<NSXMLParserDelegate> delegate_;
    bool shouldProcessNamespaces_ = false;
    long maximumDepth_ = kDefaultMaximumDepth;
    std::size_t maximumLength_ = kDefaultMaximumLength;
    bool parsed_ = false;
    bool aborted_ = false;
    NSErrorPtr parserError_;
    long lineNumber_ = 0;
    long columnNumber_ = 0;
    std::unique_ptr<Expat> expat_;
};

using NSXMLParserPtr = std::shared_ptr<NSXMLParser>;
