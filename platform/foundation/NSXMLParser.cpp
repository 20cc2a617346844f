#include "platform/foundation/NSXMLParser.h"

// The installed expat is built with DTD support, which is where its amplification guard lives;
// this declares that part of its interface.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include "platform/foundation/NSLog.h"

#include <climits>
#include <optional>

const std::string NSXMLParserErrorDomain = "NSXMLParserErrorDomain";

namespace {
// With namespaces processed expat joins URI and local name with this separator.
constexpr char kNamespaceSeparator = '\x1f';
// expat's own defaults, set here so that no build of expat runs without them.
constexpr float kMaximumAmplification = 100.0f;
constexpr unsigned long long kAmplificationThreshold = 8 * 1024 * 1024;
// The most UTF-8 text one byte of a document can come to.
constexpr std::size_t kTextBytesPerDocumentByte = 2;

struct ErrorMapping {
    XML_Error expat;
    NSXMLParserError code;
};
constexpr ErrorMapping kErrorCodes[] = {
    {XML_ERROR_NO_MEMORY, NSXMLParserOutOfMemoryError},
    {XML_ERROR_NO_ELEMENTS, NSXMLParserEmptyDocumentError},
    {XML_ERROR_INVALID_TOKEN, NSXMLParserInvalidCharacterError},
    {XML_ERROR_UNCLOSED_TOKEN, NSXMLParserUnfinishedTagError},
    {XML_ERROR_PARTIAL_CHAR, NSXMLParserInvalidCharacterError},
    {XML_ERROR_TAG_MISMATCH, NSXMLParserTagNameMismatchError},
    {XML_ERROR_DUPLICATE_ATTRIBUTE, NSXMLParserAttributeRedefinedError},
    {XML_ERROR_UNDEFINED_ENTITY, NSXMLParserUndeclaredEntityError},
    {XML_ERROR_ABORTED, NSXMLParserDelegateAbortedParseError},
};

long codeForExpatError(XML_Error error) {
    for (const auto& mapping : kErrorCodes) {
        if (mapping.expat == error) return mapping.code;
    }
    return NSXMLParserInternalError;
}
} // namespace

struct NSXMLParser::Expat {
    NSXMLParser& owner;
    XML_Parser parser;
    bool inCDATA = false;
    std::string cdata;
    long depth = 0;
    // Set when the document went past the parser's depth bound; the parse stops there.
    bool tooDeep = false;
    // The document type's name while its internal subset is read; set when it has one.
    std::optional<std::string> internalSubsetOf;
    // What the internal subset declares, set at the first declaration (or at the end of a subset
    // that declared nothing); the parse stops there, before anything declared is used.
    std::optional<std::string> declaration;
    // Bytes of text and CDATA heard so far, and the most the document may yield: its own length.
    std::size_t characterBytes = 0;
    bool tooMuchText = false;

    Expat(NSXMLParser& parserOwner, bool namespaces)
        : owner(parserOwner), parser(namespaces ? XML_ParserCreateNS(nullptr, kNamespaceSeparator) : XML_ParserCreate(nullptr)) {
        if (!parser) return;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &Expat::startElement, &Expat::endElement);
        XML_SetCharacterDataHandler(parser, &Expat::characters);
        XML_SetCdataSectionHandler(parser, &Expat::startCDATA, &Expat::endCDATA);
        // A document type may name its DTD; what its internal subset declares is refused at the
        // first declaration, before anything declared is used.
        XML_SetDoctypeDeclHandler(parser, &Expat::startDoctype, &Expat::endDoctype);
        XML_SetEntityDeclHandler(parser, &Expat::entityDeclared);
        XML_SetElementDeclHandler(parser, &Expat::elementDeclared);
        XML_SetAttlistDeclHandler(parser, &Expat::attributesDeclared);
        XML_SetNotationDeclHandler(parser, &Expat::notationDeclared);
        // No handler for external entities: they are never fetched. Parameter entities and
        // external DTD subsets stay unread.
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
        // Both answer false only for a nil parser or a value out of range.
        XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, kMaximumAmplification);
        XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, kAmplificationThreshold);
#endif
    }
    ~Expat() {
        if (parser) XML_ParserFree(parser);
    }
    Expat(const Expat&) = delete;
    Expat& operator=(const Expat&) = delete;

    static Expat& from(void* userData) { return *static_cast<Expat*>(userData); }

    bool stopped() const { return owner.aborted_ || tooDeep || declaration || tooMuchText; }
    // Ends the parse at a bound of its own: the first such stop counts, expat finishes only the
    // token it is in.
    void stopAtBound(bool& flag) {
        if (!stopped()) XML_StopParser(parser, XML_FALSE);
        flag = true;
    }
    // Ends the parse at a declaration of the internal subset, the first one told.
    void refuseDeclaration(const std::string& what) {
        if (stopped()) return;
        XML_StopParser(parser, XML_FALSE);
        declaration = what + " in the internal subset of the document type \"" + internalSubsetOf.value_or("") + "\"";
    }
    void refuseInternalSubset() {
        if (stopped()) return;
        XML_StopParser(parser, XML_FALSE);
        declaration = "an internal subset in the document type \"" + internalSubsetOf.value_or("") + "\"";
    }
    // Counts text against the document's length; false once past its bound. Without a document
    // type the only references are the predefined ones and characters, none longer in UTF-8 than
    // as written, and a character of the document's own encoding takes at most twice its bytes in
    // UTF-8 (ISO-8859-1 above 127), so more text than that would be an expansion.
    bool countText(int length) {
        characterBytes += static_cast<std::size_t>(length);
        if (characterBytes <= kTextBytesPerDocumentByte * owner.data_->length()) return true;
        stopAtBound(tooMuchText);
        return false;
    }

    // Calls the delegate, if it is still there, with the parse position up to date.
    template <class Call>
    void tell(Call&& call) {
        // expat finishes the token it stopped in (the end of an empty element): nothing more is told.
        if (stopped()) return;
        owner.lineNumber_ = static_cast<long>(XML_GetCurrentLineNumber(parser));
        owner.columnNumber_ = static_cast<long>(XML_GetCurrentColumnNumber(parser));
        if (auto delegate = owner.delegate_.lock()) call(*delegate);
    }

    struct Names {
        std::string element, namespaceURI, qualified;
    };
    Names namesOf(const XML_Char* raw) const {
        std::string name(raw);
        if (!owner.shouldProcessNamespaces_) return {name, "", name};
        auto separator = name.find(kNamespaceSeparator);
        if (separator == std::string::npos) return {name, "", name};
        std::string local = name.substr(separator + 1);
        return {local, name.substr(0, separator), local};
    }

    static void XMLCALL startElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
        Expat& self = from(userData);
        if (++self.depth > self.owner.maximumDepth_) {
            self.stopAtBound(self.tooDeep);
            return;
        }
        Names names = self.namesOf(name);
        std::map<std::string, std::string> attributeMap;
        for (int i = 0; attributes[i] && attributes[i + 1]; i += 2) {
            attributeMap[self.namesOf(attributes[i]).element] = attributes[i + 1];
        }
        self.tell([&](NSXMLParserDelegate& d) {
            d.parserDidStartElement(self.owner, names.element, names.namespaceURI, names.qualified, attributeMap);
        });
    }
    static void XMLCALL endElement(void* userData, const XML_Char* name) {
        Expat& self = from(userData);
        --self.depth;
        if (self.tooDeep) return;
        Names names = self.namesOf(name);
        self.tell([&](NSXMLParserDelegate& d) {
            d.parserDidEndElement(self.owner, names.element, names.namespaceURI, names.qualified);
        });
    }
    static void XMLCALL characters(void* userData, const XML_Char* text, int length) {
        Expat& self = from(userData);
        if (self.stopped() || !self.countText(length)) return;
        if (self.inCDATA) {
            self.cdata.append(text, static_cast<std::size_t>(length));
            return;
        }
        std::string characters(text, static_cast<std::size_t>(length));
        self.tell([&](NSXMLParserDelegate& d) { d.parserFoundCharacters(self.owner, characters); });
    }
    static void XMLCALL startCDATA(void* userData) {
        Expat& self = from(userData);
        self.inCDATA = true;
        self.cdata.clear();
    }
    // A public or system identifier alone is read as a name: no DTD is fetched, and the parameter
    // entities that would bring one in are never parsed.
    static void XMLCALL startDoctype(void* userData, const XML_Char* name, const XML_Char*, const XML_Char*, int hasInternalSubset) {
        Expat& self = from(userData);
        if (hasInternalSubset) self.internalSubsetOf = std::string(name ? name : "");
    }
    // An internal subset that declared nothing (empty, or comments and references) is refused too.
    static void XMLCALL endDoctype(void* userData) {
        Expat& self = from(userData);
        if (self.internalSubsetOf) self.refuseInternalSubset();
    }
    static void XMLCALL entityDeclared(void* userData, const XML_Char* name, int isParameterEntity, const XML_Char*, int,
                                       const XML_Char*, const XML_Char* systemId, const XML_Char*, const XML_Char*) {
        from(userData).refuseDeclaration(std::string(systemId ? "the external " : "the ") + (isParameterEntity ? "parameter entity" : "entity") +
                                         " \"" + (name ? name : "") + "\"");
    }
    static void XMLCALL elementDeclared(void* userData, const XML_Char* name, XML_Content* model) {
        Expat& self = from(userData);
        XML_FreeContentModel(self.parser, model);
        self.refuseDeclaration(std::string("the element \"") + (name ? name : "") + "\"");
    }
    static void XMLCALL attributesDeclared(void* userData, const XML_Char* element, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        from(userData).refuseDeclaration(std::string("the attributes of \"") + (element ? element : "") + "\"");
    }
    static void XMLCALL notationDeclared(void* userData, const XML_Char* name, const XML_Char*, const XML_Char*, const XML_Char*) {
        from(userData).refuseDeclaration(std::string("the notation \"") + (name ? name : "") + "\"");
    }
    static void XMLCALL endCDATA(void* userData) {
        Expat& self = from(userData);
        self.inCDATA = false;
        NSData block(self.cdata.data(), self.cdata.size());
        self.tell([&](NSXMLParserDelegate& d) { d.parserFoundCDATA(self.owner, block); });
    }
};

NSXMLParser::NSXMLParser(NSDataPtr data) : data_(data ? std::move(data) : NSData::data()) {}

NSXMLParser::~NSXMLParser() = default;

void NSXMLParser::abortParsing() {
    aborted_ = true;
    if (expat_ && expat_->parser) XML_StopParser(expat_->parser, XML_FALSE);
}

void NSXMLParser::fail(long code, const std::string& description) {
    Value::Dictionary userInfo;
    userInfo[NSDebugDescriptionErrorKey] = description;
    userInfo["NSXMLParserErrorMessage"] = description;
    userInfo["NSXMLParserErrorLineNumber"] = Value(lineNumber_);
    userInfo["NSXMLParserErrorColumn"] = Value(columnNumber_);
    parserError_ = NSError::errorWithDomain(NSXMLParserErrorDomain, code, std::move(userInfo));
    if (auto delegate = delegate_.lock()) delegate->parserParseErrorOccurred(*this, parserError_);
}

bool NSXMLParser::parse() {
    if (parsed_) return false;
    parsed_ = true;
    // Holds the parser alive through delegate calls that drop their last reference to it.
    std::shared_ptr<NSObject> keepAlive = weak_from_this().lock();
    expat_ = std::make_unique<Expat>(*this, shouldProcessNamespaces_);
    if (!expat_->parser) {
        fail(NSXMLParserOutOfMemoryError, "out of memory");
        return false;
    }
    if (auto delegate = delegate_.lock()) delegate->parserDidStartDocument(*this);
    if (aborted_) {
        fail(NSXMLParserDelegateAbortedParseError, "parsing aborted");
        return false;
    }
    if (data_->length() > maximumLength_) {
        fail(NSXMLParserInternalError, "document longer than " + std::to_string(maximumLength_) + " bytes");
        return false;
    }
    const std::uint8_t* bytes = data_->bytes();
    std::size_t remaining = data_->length();
    XML_Status status = XML_STATUS_OK;
    // expat takes lengths as int, and a parse stopped by a bound should not have read far past
    // it: the document goes in pieces.
    constexpr std::size_t kPiece = 256 * 1024;
    do {
        std::size_t piece = remaining < kPiece ? remaining : kPiece;
        remaining -= piece;
        status = XML_Parse(expat_->parser, reinterpret_cast<const char*>(bytes), static_cast<int>(piece), remaining == 0);
        bytes += piece;
    } while (status == XML_STATUS_OK && remaining > 0);
    lineNumber_ = static_cast<long>(XML_GetCurrentLineNumber(expat_->parser));
    columnNumber_ = static_cast<long>(XML_GetCurrentColumnNumber(expat_->parser));
    const std::string where = " at line " + std::to_string(lineNumber_) + ", column " + std::to_string(columnNumber_);
    if (expat_->tooDeep) {
        fail(NSXMLParserInternalError, "document nested deeper than " + std::to_string(maximumDepth_) + " elements" + where);
        return false;
    }
    if (expat_->declaration) {
        // Declarations are what expands (entities) or reaches out (external entities): none is read.
        NSLog("NSXMLParser: a document that declares %@ is refused%@", *expat_->declaration, where);
        fail(NSXMLParserInternalError, "document declares " + *expat_->declaration + ", which is not read" + where);
        return false;
    }
    if (expat_->tooMuchText) {
        fail(NSXMLParserInternalError, "document yields more text than its " + std::to_string(data_->length()) + " bytes allow" + where);
        return false;
    }
    if (status != XML_STATUS_OK || aborted_) {
        XML_Error error = aborted_ ? XML_ERROR_ABORTED : XML_GetErrorCode(expat_->parser);
        std::string message = aborted_ ? "parsing aborted" : XML_ErrorString(error);
        fail(codeForExpatError(error), message + where);
        return false;
    }
    if (auto delegate = delegate_.lock()) delegate->parserDidEndDocument(*this);
    return true;
}
