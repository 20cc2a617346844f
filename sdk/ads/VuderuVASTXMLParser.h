#pragma once
// Turns the VAST document of one video ad into a VuderuVASTManager: drives NSXMLParser over the
// text, follows Wrapper ads by fetching their VASTAdTagURI and parsing the answer with the same
// object, then stores the manager in the ad manager's map under the ad GUID and tells its
// delegate. Every chain ends with exactly one delegate call; a failed one stores nothing.
//
// A chain is bounded: at most kMaxWrapperFetches wrapper documents are fetched, a URI met twice
// ends it, and so does a wrapper document that names no further URI.
//
// Ownership: the parser holds its delegate until its one outcome; while a wrapper is fetched the
// HTTP task holds the parser.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSXMLParser.h"
#include "sdk/ads/VuderuVASTBuilders.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuVASTXMLParserDelegate {
public:
    virtual ~VuderuVASTXMLParserDelegate() = default;
    virtual void parseSuccessful(const std::string& adGuid) = 0;
    virtual void parseDidFail(const std::string& adGuid) = 0;
    virtual void parsetDidCancel(const std::string& adGuid) = 0;
};

class VuderuVASTXMLParser : public NSObject, public NSXMLParserDelegate, public VuderuHttpAsyncTaskDelegate {
public:
    using DelegatePtr = std::shared_ptr<VuderuVASTXMLParserDelegate>;
    static constexpr std::int32_t kMaxWrapperFetches = 5;
    // A document longer than this is refused (real ones take kilobytes); each list of URLs
    // (impressions, errors, the trackings of one event) keeps its first kMaxUrlsPerList, the rest
    // dropped with a log line, so that a document cannot fire requests by the thousand.
    static constexpr std::size_t kMaxDocumentLength = 1024 * 1024;
    static constexpr std::size_t kMaxUrlsPerList = 64;

    VuderuVASTXMLParser(std::string adGuid, DelegatePtr delegate);
    static std::shared_ptr<VuderuVASTXMLParser> initWithAdGUIDWithDelegate(std::string adGuid, DelegatePtr delegate);

    // Parses one document and continues the chain: a wrapper fetch, or the final store and report.
    void parse(const std::string& text);

    void parserDidStartElement(NSXMLParser& parser, const std::string& elementName, const std::string& namespaceURI,
                               const std::string& qualifiedName, const std::map<std::string, std::string>& attributes) override;
    void parserDidEndElement(NSXMLParser& parser, const std::string& elementName, const std::string& namespaceURI,
                             const std::string& qualifiedName) override;
    void parserFoundCharacters(NSXMLParser& parser, const std::string& characters) override;
    // A CDATA section is one piece of text of the element it stands in.
    void parserFoundCDATA(NSXMLParser& parser, const NSData& CDATABlock) override;
    void parserParseErrorOccurred(NSXMLParser& parser, const NSErrorPtr& parseError) override;

    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;

    // Empties the media files, creatives, impressions, ads and tracking map.
    void resetValues();

    const std::string& adGuid() const { return adGuid_; }
    // The wrapper fetch in flight, or nil.
    const VuderuHttpAsyncTaskPtr& wrapperTask() const { return wrapperTask_; }
    // The manager of a finished chain, or nil.
    const VuderuVASTManagerPtr& vuderuVASTManager() const { return vuderuVASTManager_; }
    std::int32_t currentWrapperDepth() const { return currentWrapperDepth_; }
    // Off for tools that parse untrusted documents offline: a wrapper then ends its chain as a
    // failed fetch, and nothing is sent.
    void setFollowsWrappers(bool on) { followsWrappers_ = on; }

private:
    enum class Outcome { Success, Failure, Cancel };
    using Attributes = std::map<std::string, std::string>;
    // One element the parser takes: the contexts it is taken in (any when none), what its start
    // and end do, and the context its end returns to.
    struct Element;
    static const std::vector<Element>& elements();

    void finish(Outcome outcome);
    void continueChain(bool parsed);
    bool recordWrapperURI();
    void storeManager(bool parsed);
    // A piece of text, handled by the element it stands in.
    void takeText(const std::string& chunk);
    // Wrapper or InLine, whichever the document is in; unchanged when neither.
    void returnToOwnContext();
    // The text collected for a URL element, or nil for other contexts.
    std::optional<std::string>* accumulatorOf(const std::string& context);
    void endAd();
    void endAdType(bool inLine);
    void endCreative();
    void endTracking();
    // Whether a list holding `held` URLs takes one more; logs the first drop of a document.
    bool takesUrl(std::size_t held);
    bool droppedUrls_ = false;

    std::string adGuid_;
    DelegatePtr delegate_;
    bool finished_ = false;
    bool followsWrappers_ = true;

    VuderuVASTManagerBuilder managerBuilder_;
    VuderuVASTAdBuilder adBuilder_;
    VuderuVASTAdTypeBuilder adTypeBuilder_;
    VuderuVASTAdSystemBuilder adSystemBuilder_;
    VuderuVASTCreativeBuilder creativeBuilder_;
    VuderuVASTLinearBuilder linearBuilder_;
    VuderuVASTMediaFileBuilder mediaFileBuilder_;
    VuderuVASTAdPtr vuderuVASTAd_;
    VuderuVASTAdTypePtr vuderuVASTAdType_;
    VuderuVASTAdSystemPtr vuderuVASTAdSystem_;
    VuderuVASTCreativePtr vuderuVASTCreative_;
    VuderuVASTLinearPtr vuderuVASTLinear_;
    VuderuVASTManagerPtr vuderuVASTManager_;
    NSXMLParserPtr mainParser_;
    VuderuHttpAsyncTaskPtr wrapperTask_;

    // Kept over the whole chain; the builders hold these very objects.
    VuderuVASTAdList ads_ = std::make_shared<std::vector<VuderuVASTAdPtr>>();
    VuderuVASTCreativeList creatives_ = std::make_shared<std::vector<VuderuVASTCreativePtr>>();
    VuderuVASTStringList impressions_ = std::make_shared<std::vector<std::string>>();
    VuderuVASTStringList errors_ = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<std::vector<VuderuVASTMediaFilePtr>> mediaFiles_ = std::make_shared<std::vector<VuderuVASTMediaFilePtr>>();
    VuderuVASTTrackingMap trackingEventsDic_ = std::make_shared<std::map<std::string, std::vector<std::string>>>();

    // Text of the URL element being read, one per kind; nil outside it.
    std::optional<std::string> mutableImpressionUrl_, mutableErrorUrl_, mutableMediaFileUrl_, mutableVASTAdTagURIString_,
        mutableTrackingEventUrl_, mutableVideoClickUrl_;
    std::string insideTag_;  // empty before the document starts
    std::optional<std::string> trackingString_;
    std::vector<bool> taken_;  // per open element: whether it was taken
    std::optional<std::string> rootAdId_;
    std::vector<std::string> adIds_;
    std::map<std::string, std::vector<std::string>> chainedUrls_;
    std::vector<std::string> currentUriArray_;
    std::optional<std::size_t> currentUriEntry_;  // the entry the URI being read fills
    std::string currentWrapperURI_;
    std::int64_t adFormatType_ = VuderuVASTAdFormatNone;
    std::int32_t currentWrapperDepth_ = 0;
};

using VuderuVASTXMLParserPtr = std::shared_ptr<VuderuVASTXMLParser>;
