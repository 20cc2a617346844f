// The elements the VAST parser takes, each only inside the element named for it, and what their
// text does.
#include "sdk/ads/VuderuVASTUtil.h"
#include "sdk/ads/VuderuVASTXMLParser.h"
#include "sdk/analytics/VuderuLog.h"

#include <algorithm>
#include <functional>

namespace {

using Attributes = std::map<std::string, std::string>;

std::optional<std::string> attribute(const Attributes& attributes, const char* name) {
    auto found = attributes.find(name);
    if (found == attributes.end()) return std::nullopt;
    return found->second;
}

std::string attributeText(const Attributes& attributes, const char* name) { return attribute(attributes, name).value_or(""); }

std::int32_t attributeInteger(const Attributes& attributes, const char* name) {
    return VuderuVASTUtil::integerOfAttribute(attributeText(attributes, name));
}

bool attributeBoolean(const Attributes& attributes, const char* name) {
    return VuderuVASTUtil::booleanOfAttribute(attributeText(attributes, name));
}

constexpr const char* kWhiteSpace = " \t\n\r\v\f";

std::string trimmed(const std::string& text) {
    auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

bool isBlank(const std::string& text) { return text.find_first_not_of(kWhiteSpace) == std::string::npos; }

const std::vector<std::string> kInAdType = {"InLine", "Wrapper"};

} // namespace

struct VuderuVASTXMLParser::Element {
    enum class After { Own, Named, None };
    std::string name;
    std::vector<std::string> contexts;  // any when empty
    std::function<void(VuderuVASTXMLParser&, NSXMLParser&, const Attributes&)> start;
    std::function<void(VuderuVASTXMLParser&)> end;
    After after = After::Own;
    std::string afterName;
};

const std::vector<VuderuVASTXMLParser::Element>& VuderuVASTXMLParser::elements() {
    using After = Element::After;
    auto collect = [](std::optional<std::string> VuderuVASTXMLParser::*accumulator) {
        return [accumulator](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes&) { p.*accumulator = std::string(); };
    };
    auto file = [](std::optional<std::string> VuderuVASTXMLParser::*accumulator, VuderuVASTStringList VuderuVASTXMLParser::*list) {
        return [accumulator, list](VuderuVASTXMLParser& p) {
            if (p.*accumulator && p.takesUrl((p.*list)->size())) (p.*list)->push_back(*(p.*accumulator));
            (p.*accumulator).reset();
        };
    };
    auto click = [](std::int64_t kind) {
        return [kind](VuderuVASTXMLParser& p) {
            p.linearBuilder_.withLinearVideoClickAndUrl(kind, p.mutableVideoClickUrl_.value_or(""));
            p.mutableVideoClickUrl_.reset();
        };
    };
    static const std::vector<Element> table = {
        {"VAST", {},
         [](VuderuVASTXMLParser& p, NSXMLParser& parser, const Attributes& a) {
             std::string version = attributeText(a, "version");
             std::int32_t major = VuderuVASTUtil::integerOfAttribute(version);
             if (version.empty() || major < VuderuVASTUtil::kVASTMinVersionSupported || major > VuderuVASTUtil::kVASTMaxVersionSupported) {
                 parser.abortParsing();
                 return;
             }
             p.managerBuilder_.withVersion(major);
         },
         [](VuderuVASTXMLParser& p) { p.managerBuilder_.withVuderuVASTAds(p.ads_); }, After::None, ""},
        {"Ad", {"VAST"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes& a) {
             auto id = attribute(a, "id");
             if (id && !p.rootAdId_) p.rootAdId_ = id;
             if (id) p.adIds_.push_back(*id);
             p.adBuilder_.withAdId(id.value_or("")).withAdSequence(attributeInteger(a, "sequence"));
         },
         [](VuderuVASTXMLParser& p) { p.endAd(); }, After::Named, "VAST"},
        {"Wrapper", {"Ad"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes&) {
             p.adFormatType_ = VuderuVASTAdFormatWrapper;
             p.adTypeBuilder_.withAdFormatType(VuderuVASTAdFormatWrapper);
         },
         [](VuderuVASTXMLParser& p) { p.endAdType(false); }, After::Named, "Ad"},
        {"InLine", {"Ad"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes&) {
             p.adFormatType_ = VuderuVASTAdFormatInLine;
             p.adTypeBuilder_.withAdFormatType(VuderuVASTAdFormatInLine);
         },
         [](VuderuVASTXMLParser& p) { p.endAdType(true); }, After::Named, "Ad"},
        // Its end returns to the Wrapper, so the wrapper's elements after it are read too.
        {"VASTAdTagURI", {"Wrapper"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes&) {
             p.mutableVASTAdTagURIString_ = std::string();
             p.currentUriEntry_.reset();
         },
         nullptr, After::Own, ""},
        {"AdSystem", kInAdType,
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes& a) { p.adSystemBuilder_.withAdSystemVersion(attributeText(a, "version")); },
         [](VuderuVASTXMLParser& p) {
             if (!p.vuderuVASTAdSystem_) p.vuderuVASTAdSystem_ = p.adSystemBuilder_.build();
             p.adTypeBuilder_.withAdSystem(p.vuderuVASTAdSystem_);
         },
         After::Own, ""},
        {"AdTitle", kInAdType, nullptr, nullptr, After::Own, ""},
        {"Impression", kInAdType, collect(&VuderuVASTXMLParser::mutableImpressionUrl_),
         file(&VuderuVASTXMLParser::mutableImpressionUrl_, &VuderuVASTXMLParser::impressions_), After::Own, ""},
        {"Error", kInAdType, collect(&VuderuVASTXMLParser::mutableErrorUrl_),
         file(&VuderuVASTXMLParser::mutableErrorUrl_, &VuderuVASTXMLParser::errors_), After::Own, ""},
        {"Creatives", kInAdType, nullptr, [](VuderuVASTXMLParser& p) { p.adTypeBuilder_.withCreatives(p.creatives_); }, After::Own, ""},
        {"Creative", {"Creatives"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes& a) {
             p.creativeBuilder_.withCreativeId(attributeText(a, "id")).withCreativeSequence(attributeInteger(a, "sequence"));
         },
         [](VuderuVASTXMLParser& p) { p.endCreative(); }, After::Named, "Creatives"},
        {"Linear", {"Creative"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes& a) {
             p.creativeBuilder_.withCreativeDepth(p.currentWrapperDepth_).withCreativeFormatType(VuderuVASTCreativeFormatLinear);
             p.linearBuilder_.withLinearSkipOffset(VuderuVASTUtil::determineIntDurationFromString(attribute(a, "skipoffset")));
         },
         [](VuderuVASTXMLParser& p) {
             p.vuderuVASTLinear_ = p.linearBuilder_.build(p.vuderuVASTLinear_);
             p.creativeBuilder_.withCreativeLinear(p.vuderuVASTLinear_);
         },
         After::Named, "Creative"},
        {"Duration", {"Linear"}, nullptr, nullptr, After::Named, "Linear"},
        {"TrackingEvents", {"Linear"}, nullptr,
         [](VuderuVASTXMLParser& p) { p.linearBuilder_.withLinearTrackingEventMap(p.trackingEventsDic_); }, After::Named, "Linear"},
        {"Tracking", {"TrackingEvents"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes& a) {
             p.mutableTrackingEventUrl_ = std::string();
             p.trackingString_ = attribute(a, "event");
         },
         [](VuderuVASTXMLParser& p) { p.endTracking(); }, After::Named, "TrackingEvents"},
        {"VideoClicks", {"Linear"}, nullptr, nullptr, After::Named, "Linear"},
        {"ClickThrough", {"VideoClicks"}, collect(&VuderuVASTXMLParser::mutableVideoClickUrl_), click(VuderuVASTVideoClickThrough),
         After::Named, "VideoClicks"},
        {"ClickTracking", {"VideoClicks"}, collect(&VuderuVASTXMLParser::mutableVideoClickUrl_), click(VuderuVASTVideoClickTracking),
         After::Named, "VideoClicks"},
        {"CustomClick", {"VideoClicks"}, collect(&VuderuVASTXMLParser::mutableVideoClickUrl_), click(VuderuVASTVideoCustomClick),
         After::Named, "VideoClicks"},
        {"MediaFiles", {"Linear"}, nullptr,
         [](VuderuVASTXMLParser& p) { p.linearBuilder_.withLinearMediaFile(VuderuVASTUtil::determineMediaFile(p.mediaFiles_)); },
         After::Named, "Linear"},
        {"MediaFile", {"MediaFiles"},
         [](VuderuVASTXMLParser& p, NSXMLParser&, const Attributes& a) {
             p.mediaFileBuilder_.resetBuilder();
             p.mutableMediaFileUrl_ = std::string();
             p.mediaFileBuilder_.withMediaFileId(attributeText(a, "id"))
                 .withMediaFileType(attributeText(a, "type"))
                 .withMediaFileApiFramework(attributeText(a, "apiFramework"))
                 .withMediaFileDeliveryType(VuderuVASTMediaFile::deliveryTypeStringToEnum(attributeText(a, "delivery")))
                 .withMediaFileHeight(attributeInteger(a, "height"))
                 .withMediaFileWidth(attributeInteger(a, "width"))
                 .withMediaFileBitRate(attributeInteger(a, "bitrate"))
                 .withMediaFileScalable(attributeBoolean(a, "scalable"))
                 .withMediaFileMaintainAspectRatio(attributeBoolean(a, "maintainAspectRatio"));
         },
         [](VuderuVASTXMLParser& p) {
             p.mediaFileBuilder_.withMediaFileUrl(p.mutableMediaFileUrl_.value_or(""));
             p.mutableMediaFileUrl_.reset();
             p.mediaFiles_->push_back(p.mediaFileBuilder_.build());
         },
         After::Named, "MediaFiles"},
    };
    return table;
}

void VuderuVASTXMLParser::endAd() {
    for (const auto& [root, uris] : chainedUrls_) {
        if (std::find(uris.begin(), uris.end(), currentWrapperURI_) != uris.end()) adBuilder_.withAdId(root);
    }
    vuderuVASTAd_ = adBuilder_.build();
    auto same = std::find_if(ads_->begin(), ads_->end(), [&](const VuderuVASTAdPtr& ad) { return ad->adId() == vuderuVASTAd_->adId(); });
    if (same != ads_->end()) ads_->erase(same);
    ads_->push_back(vuderuVASTAd_);
}

void VuderuVASTXMLParser::endAdType(bool inLine) {
    adTypeBuilder_.withImpressionUrls(impressions_).withErrorUrls(errors_);
    if (!inLine) adTypeBuilder_.withVASTAdTagURI(mutableVASTAdTagURIString_.value_or(""));
    // An InLine reached through a wrapper keeps the wrapper's format.
    if (inLine && vuderuVASTAdType_) adTypeBuilder_.withAdFormatType(VuderuVASTAdFormatWrapper);
    vuderuVASTAdType_ = adTypeBuilder_.build();
    adBuilder_.withAdType(vuderuVASTAdType_);
}

void VuderuVASTXMLParser::endCreative() {
    vuderuVASTCreative_ = creativeBuilder_.build(vuderuVASTCreative_);
    // A later document's linear creative takes the place of the wrapper's.
    auto replaced = std::find_if(creatives_->begin(), creatives_->end(), [&](const VuderuVASTCreativePtr& creative) {
        return creative->depth() != currentWrapperDepth_ && creative->creativeFormatType() == VuderuVASTCreativeFormatLinear;
    });
    if (replaced != creatives_->end()) creatives_->erase(replaced);
    creatives_->push_back(vuderuVASTCreative_);
}

void VuderuVASTXMLParser::endTracking() {
    // A Tracking element without an event has no key to be filed under: its URL is dropped.
    if (mutableTrackingEventUrl_ && trackingString_) {
        auto& urls = (*trackingEventsDic_)[*trackingString_];
        if (takesUrl(urls.size())) urls.push_back(*mutableTrackingEventUrl_);
    }
    mutableTrackingEventUrl_.reset();
}

bool VuderuVASTXMLParser::takesUrl(std::size_t held) {
    if (held < kMaxUrlsPerList) return true;
    if (!droppedUrls_) VuderuLog("VuderuAds: VAST document lists more than %lu URLs for one purpose; the rest are dropped",
                                 static_cast<unsigned long>(kMaxUrlsPerList));
    droppedUrls_ = true;
    return false;
}

void VuderuVASTXMLParser::returnToOwnContext() {
    if (adFormatType_ == VuderuVASTAdFormatWrapper) insideTag_ = "Wrapper";
    if (adFormatType_ == VuderuVASTAdFormatInLine) insideTag_ = "InLine";
}

void VuderuVASTXMLParser::parserDidStartElement(NSXMLParser& parser, const std::string& elementName, const std::string&,
                                                const std::string&, const Attributes& attributes) {
    const auto& table = elements();
    auto element = std::find_if(table.begin(), table.end(), [&](const Element& e) { return e.name == elementName; });
    bool take = element != table.end() &&
                (element->contexts.empty() || std::find(element->contexts.begin(), element->contexts.end(), insideTag_) != element->contexts.end());
    taken_.push_back(take);
    if (!take) return;
    insideTag_ = elementName;
    if (element->start) element->start(*this, parser, attributes);
}

void VuderuVASTXMLParser::parserDidEndElement(NSXMLParser&, const std::string& elementName, const std::string&, const std::string&) {
    // An element that was not taken ends without effect, so a stray one changes nothing.
    if (taken_.empty()) return;
    bool taken = taken_.back();
    taken_.pop_back();
    if (!taken) return;
    const auto& table = elements();
    auto element = std::find_if(table.begin(), table.end(), [&](const Element& e) { return e.name == elementName; });
    if (element == table.end()) return;
    if (element->end) element->end(*this);
    switch (element->after) {
        case Element::After::Own: returnToOwnContext(); break;
        case Element::After::Named: insideTag_ = element->afterName; break;
        case Element::After::None: insideTag_.clear(); break;
    }
}

void VuderuVASTXMLParser::parserFoundCharacters(NSXMLParser&, const std::string& characters) { takeText(characters); }

void VuderuVASTXMLParser::parserFoundCDATA(NSXMLParser&, const NSData& CDATABlock) { takeText(std::string(CDATABlock.stringView())); }

void VuderuVASTXMLParser::takeText(const std::string& chunk) {
    // Text on lines of its own arrives as white-space pieces: they leave the values that a piece
    // replaces as they were.
    if (insideTag_ == "AdSystem") {
        if (!isBlank(chunk)) adSystemBuilder_.withAdSystemValue(chunk);
    } else if (insideTag_ == "AdTitle") {
        if (!isBlank(chunk)) adTypeBuilder_.withAdTitle(trimmed(chunk));
    } else if (insideTag_ == "Duration") {
        if (!isBlank(chunk)) linearBuilder_.withLinearDuration(VuderuVASTUtil::determineIntDurationFromString(chunk));
    } else if (insideTag_ == "VASTAdTagURI") {
        if (!mutableVASTAdTagURIString_) return;
        *mutableVASTAdTagURIString_ += trimmed(chunk);
        if (!currentUriEntry_) {
            currentUriEntry_ = currentUriArray_.size();
            currentUriArray_.emplace_back();
        }
        currentUriArray_[*currentUriEntry_] = *mutableVASTAdTagURIString_;
    } else if (auto* accumulator = accumulatorOf(insideTag_); accumulator && *accumulator) {
        **accumulator += trimmed(chunk);
        // An escaped ampersand stays written as the entity.
        if (chunk == "&") **accumulator += "amp;";
    }
}

std::optional<std::string>* VuderuVASTXMLParser::accumulatorOf(const std::string& context) {
    static const std::map<std::string, std::optional<std::string> VuderuVASTXMLParser::*> kAccumulators = {
        {"Impression", &VuderuVASTXMLParser::mutableImpressionUrl_},   {"Error", &VuderuVASTXMLParser::mutableErrorUrl_},
        {"MediaFile", &VuderuVASTXMLParser::mutableMediaFileUrl_},     {"Tracking", &VuderuVASTXMLParser::mutableTrackingEventUrl_},
        {"ClickThrough", &VuderuVASTXMLParser::mutableVideoClickUrl_}, {"ClickTracking", &VuderuVASTXMLParser::mutableVideoClickUrl_},
        {"CustomClick", &VuderuVASTXMLParser::mutableVideoClickUrl_},
    };
    auto found = kAccumulators.find(context);
    return found == kAccumulators.end() ? nullptr : &(this->*(found->second));
}
