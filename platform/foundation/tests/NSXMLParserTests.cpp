#include "platform/foundation/NSXMLParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes every event as one line, so a test compares the whole story at once.
class Recorder : public NSXMLParserDelegate {
public:
    std::vector<std::string> events;
    std::string abortAtElement;
    NSErrorPtr reportedError;

    void parserDidStartDocument(NSXMLParser&) override { events.push_back("start"); }
    void parserDidEndDocument(NSXMLParser&) override { events.push_back("end"); }
    void parserDidStartElement(NSXMLParser& parser, const std::string& name, const std::string& uri, const std::string& qName,
                               const std::map<std::string, std::string>& attributes) override {
        std::string line = "<" + name;
        if (!uri.empty()) line += " {" + uri + "}" + qName;
        for (const auto& [key, value] : attributes) line += " " + key + "=" + value;
        events.push_back(line + "> @" + std::to_string(parser.lineNumber()));
        if (name == abortAtElement) parser.abortParsing();
    }
    void parserDidEndElement(NSXMLParser&, const std::string& name, const std::string&, const std::string&) override {
        events.push_back("</" + name + ">");
    }
    void parserFoundCharacters(NSXMLParser&, const std::string& text) override {
        if (!events.empty() && events.back().rfind("text:", 0) == 0) {
            events.back() += text;
        } else {
            events.push_back("text:" + text);
        }
    }
    void parserFoundCDATA(NSXMLParser&, const NSData& block) override {
        events.push_back("cdata:" + std::string(block.stringView()));
    }
    void parserParseErrorOccurred(NSXMLParser&, const NSErrorPtr& error) override { reportedError = error; }
};

struct Parse {
    std::shared_ptr<NSXMLParser> parser;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    bool ok = false;
};

Parse parse(const std::string& document, const std::string& abortAt = "", bool namespaces = false) {
    Parse result;
    result.parser = std::make_shared<NSXMLParser>(NSData::dataWithString(document));
    result.parser->setDelegate(result.recorder);
    result.parser->setShouldProcessNamespaces(namespaces);
    result.recorder->abortAtElement = abortAt;
    result.ok = result.parser->parse();
    return result;
}

TEST(NSXMLParserTests, ReportsElementsAttributesTextAndCDATAInOrder) {
    Parse p = parse("<?xml version=\"1.0\"?>\n<VAST version=\"2.0\">\n<Ad id=\"7\">a &amp; b<![CDATA[<x>&y]]></Ad></VAST>");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.parser->parserError(), nullptr);
    std::vector<std::string> expected = {"start", "<VAST version=2.0> @2", "text:\n", "<Ad id=7> @3", "text:a & b",
                                         "cdata:<x>&y", "</Ad>", "</VAST>", "end"};
    EXPECT_EQ(p.recorder->events, expected);
}

TEST(NSXMLParserTests, PrefixedNamesStandAsWrittenUnlessNamespacesAreProcessed) {
    const std::string document = "<v:VAST xmlns:v=\"urn:v\"><v:Ad/></v:VAST>";
    Parse plain = parse(document);
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.recorder->events[1], "<v:VAST xmlns:v=urn:v> @1");
    Parse processed = parse(document, "", true);
    ASSERT_TRUE(processed.ok);
    EXPECT_EQ(processed.recorder->events[1], "<VAST {urn:v}VAST> @1");
    EXPECT_EQ(processed.recorder->events[3], "</Ad>");
}

TEST(NSXMLParserTests, MalformedDocumentsFailWithCodeAndLine) {
    struct Case {
        const char* document;
        long code;
        long line;
    };
    const Case cases[] = {
        {"<a>\n<b></a>", NSXMLParserTagNameMismatchError, 2},
        {"", NSXMLParserEmptyDocumentError, 1},
        {"<a>\n\n<b x=\"1\" x=\"2\"/></a>", NSXMLParserAttributeRedefinedError, 3},
        {"<a>&nope;</a>", NSXMLParserUndeclaredEntityError, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        Parse p = parse(c.document);
        EXPECT_FALSE(p.ok);
        ASSERT_NE(p.parser->parserError(), nullptr);
        EXPECT_EQ(p.parser->parserError(), p.recorder->reportedError);
        EXPECT_EQ(p.parser->parserError()->domain(), NSXMLParserErrorDomain);
        EXPECT_EQ(p.parser->parserError()->code(), c.code);
        EXPECT_EQ(p.parser->parserError()->userInfoValue("NSXMLParserErrorLineNumber").integerValue(), c.line);
        EXPECT_EQ(p.recorder->events.back() == "end", false);
    }
}

TEST(NSXMLParserTests, AbortFromTheDelegateStopsAtOnce) {
    Parse p = parse("<a><b/><c/></a>", "b");
    EXPECT_FALSE(p.ok);
    ASSERT_NE(p.parser->parserError(), nullptr);
    EXPECT_EQ(p.parser->parserError()->code(), NSXMLParserDelegateAbortedParseError);
    // The delegate hears of the abort as of any error.
    EXPECT_EQ(p.recorder->reportedError, p.parser->parserError());
    std::vector<std::string> expected = {"start", "<a> @1", "<b> @1"};
    EXPECT_EQ(p.recorder->events, expected);
    EXPECT_FALSE(p.parser->parse());
}

TEST(NSXMLParserTests, DeclaredLatin1IsReportedAsUTF8) {
    Parse p = parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.recorder->events[2], "text:caf\xc3\xa9");
}

// Keeps every piece of text as it came, and takes no CDATA of its own.
class PieceRecorder : public NSXMLParserDelegate {
public:
    std::vector<std::string> pieces;
    NSErrorPtr reportedError;
    void parserFoundCharacters(NSXMLParser&, const std::string& text) override { pieces.push_back(text); }
    void parserParseErrorOccurred(NSXMLParser&, const NSErrorPtr& error) override { reportedError = error; }
};

struct PieceParse {
    std::shared_ptr<PieceRecorder> recorder = std::make_shared<PieceRecorder>();
    bool ok = false;
};

PieceParse parsePieces(const std::string& document) {
    PieceParse result;
    auto parser = NSXMLParser::initWithData(NSData::dataWithString(document));
    parser->setDelegate(result.recorder);
    result.ok = parser->parse();
    return result;
}

TEST(NSXMLParserTests, TextArrivesInPiecesWithEachReferenceApart) {
    struct Case {
        const char* document;
        std::vector<std::string> pieces;
    } cases[] = {
        {"<a>a?x=1&amp;y=2</a>", {"a?x=1", "&", "y=2"}},
        {"<a>p&#65;q</a>", {"p", "A", "q"}},
        {"<a>one\ntwo</a>", {"one", "\n", "two"}},
        // Without a CDATA method of its own the delegate hears the section as one piece.
        {"<a>x<![CDATA[http://h/p?a=1&b=<2>]]>y</a>", {"x", "http://h/p?a=1&b=<2>", "y"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        PieceParse p = parsePieces(c.document);
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.recorder->pieces, c.pieces);
    }
}

// A document type may name its DTD, which is never fetched; one with an internal subset, where
// entities and the rest are declared, is refused at its first declaration, before anything it
// declares is used, and the error names that declaration.
std::string entityVAST() {
    // A 50,000-byte entity referenced 1,900 times, one reference a line: about 95 MB of text
    // from a document of 1 MB, were it read.
    std::string document = "<?xml version=\"1.0\"?>\n<!DOCTYPE VAST [<!ENTITY p \"" + std::string(50000, 'x') + "\">]>\n";
    document += "<VAST version=\"2.0\"><Ad id=\"1\"><InLine><AdTitle>\n";
    for (int i = 0; i < 1900; ++i) document += "&p;\n";
    document += "</AdTitle></InLine></Ad></VAST>";
    document += "<!--" + std::string(1042329 - document.size() - 7, ' ') + "-->";
    return document;
}

std::string billionLaughs() {
    std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"lollollollollol\">";
    for (int level = 1; level <= 9; ++level) {
        std::string previous = "&l" + std::to_string(level - 1) + ";";
        std::string value;
        for (int i = 0; i < 10; ++i) value += previous;
        laughs += "<!ENTITY l" + std::to_string(level) + " \"" + value + "\">";
    }
    return laughs + "]><a>&l9;</a>";
}

TEST(NSXMLParserTests, ADocumentTypeParsesAndOnlyWhatItDeclaresIsRefused) {
    struct Case {
        const char* name;
        std::string document;
        // Empty: the document parses, and its root element is heard. Otherwise what the error names.
        std::string refused;
    };
    const Case cases[] = {
        {"a property list",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><dict/></plist>",
         ""},
        {"XHTML",
         "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>a &amp; b</p></body></html>",
         ""},
        {"SVG",
         "<?xml version=\"1.0\" standalone=\"no\"?>\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
         "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>",
         ""},
        {"an RSS feed", "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" \"rss-0.91.dtd\"><rss/>", ""},
        {"a bare name", "<!DOCTYPE a><a/>", ""},
        {"a system identifier on loopback", "<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/a.dtd\"><a>t</a>", ""},
        {"an external entity", "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><a>[&x;]</a>",
         "the external entity \"x\" in the internal subset of the document type \"a\""},
        {"an external parameter entity", "<!DOCTYPE a [<!ENTITY % p SYSTEM \"http://127.0.0.1:1/p.dtd\"> %p;]><a/>",
         "the external parameter entity \"p\" in the internal subset of the document type \"a\""},
        {"nested entities", billionLaughs(), "the entity \"l0\" in the internal subset of the document type \"a\""},
        {"a megabyte of entity references", entityVAST(), "the entity \"p\" in the internal subset of the document type \"VAST\""},
        {"an element", "<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]><a/>", "the element \"a\" in the internal subset of the document type \"a\""},
        {"an attribute list", "<!DOCTYPE a [<!ATTLIST a x CDATA \"lol\">]><a/>",
         "the attributes of \"a\" in the internal subset of the document type \"a\""},
        {"a notation", "<!DOCTYPE a [<!NOTATION n SYSTEM \"n\">]><a/>", "the notation \"n\" in the internal subset of the document type \"a\""},
        {"an empty internal subset", "<!-- c --><?pi x?><!DOCTYPE a []><a/>", "an internal subset in the document type \"a\""},
        {"a parameter entity reference alone", "<!DOCTYPE a [%p;]><a>&x;</a>", "an internal subset in the document type \"a\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Parse p = parse(c.document);
        if (c.refused.empty()) {
            EXPECT_TRUE(p.ok) << (p.parser->parserError() ? p.parser->parserError()->description() : "");
            ASSERT_GE(p.recorder->events.size(), 3u);
            EXPECT_EQ(p.recorder->events[1].front(), '<') << "the root element is heard";
            EXPECT_EQ(p.recorder->events.back(), "end");
            continue;
        }
        EXPECT_FALSE(p.ok);
        // Not an element, not a byte of text: the parse ended inside the document type.
        EXPECT_EQ(p.recorder->events, std::vector<std::string>{"start"});
        EXPECT_LE(p.parser->lineNumber(), 2);
        ASSERT_NE(p.parser->parserError(), nullptr);
        EXPECT_EQ(p.parser->parserError()->domain(), NSXMLParserErrorDomain);
        EXPECT_EQ(p.parser->parserError()->code(), NSXMLParserInternalError);
        const std::string message = p.parser->parserError()->userInfoValue("NSXMLParserErrorMessage").stringValue();
        EXPECT_EQ(message.rfind("document declares " + c.refused + ", which is not read at line ", 0), 0u) << message;
        EXPECT_EQ(p.recorder->reportedError, p.parser->parserError());
    }
}

// Text is bounded by the document's bytes as UTF-8: a document that is all ISO-8859-1 letters
// above 127, which double in UTF-8, stays within it.
TEST(NSXMLParserTests, TextAtTheBoundOfItsDocumentIsRead) {
    const std::string letters(4096, '\xe9');
    Parse p = parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>" + letters + "<![CDATA[" + letters + "]]></a>");
    ASSERT_TRUE(p.ok);
    std::string text;
    for (const auto& event : p.recorder->events) {
        if (event.rfind("text:", 0) == 0) text += event.substr(5);
        if (event.rfind("cdata:", 0) == 0) text += event.substr(6);
    }
    EXPECT_EQ(text.size(), 4 * letters.size());
}

} // namespace

namespace {
std::string nestedElements(std::size_t depth, bool closed) {
    std::string document;
    document.reserve(depth * (closed ? 7 : 3));
    for (std::size_t i = 0; i < depth; ++i) document += "<a>";
    if (closed) {
        for (std::size_t i = 0; i < depth; ++i) document += "</a>";
    }
    return document;
}

long startsHeard(const Recorder& recorder) {
    long starts = 0;
    for (const auto& event : recorder.events) starts += event.rfind("<a>", 0) == 0 ? 1 : 0;
    return starts;
}
} // namespace

// Nesting and length are bounded: a document past either fails with the internal error, and the
// delegate never hears of an element past the depth bound, however deep the document goes.
TEST(NSXMLParserTests, DepthAndLengthAreBounded) {
    const long bound = NSXMLParser::kDefaultMaximumDepth;
    struct Case {
        const char* name;
        std::string document;
        bool ok;
        long starts;
        const char* message;
    };
    const Case cases[] = {
        {"at the depth bound", nestedElements(bound, true), true, bound, ""},
        {"one past it", nestedElements(bound + 1, true), false, bound, "nested deeper than 256 elements"},
        {"a million open elements", nestedElements(1000000, false), false, bound, "nested deeper than 256 elements"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Parse p = parse(c.document);
        EXPECT_EQ(p.ok, c.ok);
        EXPECT_EQ(startsHeard(*p.recorder), c.starts);
        if (c.ok) continue;
        ASSERT_NE(p.parser->parserError(), nullptr);
        EXPECT_EQ(p.parser->parserError()->code(), NSXMLParserInternalError);
        EXPECT_NE(p.parser->parserError()->description().find(c.message), std::string::npos);
        EXPECT_EQ(p.recorder->reportedError, p.parser->parserError());
    }

    auto parser = std::make_shared<NSXMLParser>(NSData::dataWithString("<a>" + std::string(100, 'x') + "</a>"));
    auto recorder = std::make_shared<Recorder>();
    parser->setDelegate(recorder);
    parser->setMaximumLength(64);
    EXPECT_FALSE(parser->parse());
    ASSERT_NE(parser->parserError(), nullptr);
    EXPECT_EQ(parser->parserError()->code(), NSXMLParserInternalError);
    std::vector<std::string> nothingButTheStart = {"start"};
    EXPECT_EQ(recorder->events, nothingButTheStart);
}
