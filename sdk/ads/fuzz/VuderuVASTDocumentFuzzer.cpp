// libFuzzer target of the VAST parser: any document ends its chain with exactly one outcome,
// never a crash or a leak. Wrappers are not followed, so nothing is ever sent.
#include "sdk/ads/VuderuVASTUtil.h"
#include "sdk/ads/VuderuVASTXMLParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
class CountingDelegate : public VuderuVASTXMLParserDelegate {
public:
    void parseSuccessful(const std::string&) override { ++outcomes; }
    void parseDidFail(const std::string&) override { ++outcomes; }
    void parsetDidCancel(const std::string&) override { ++outcomes; }
    int outcomes = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)VuderuVASTUtil::detectVASTVersion(text);
    auto delegate = std::make_shared<CountingDelegate>();
    auto parser = VuderuVASTXMLParser::initWithAdGUIDWithDelegate("fuzz", delegate);
    parser->setFollowsWrappers(false);
    parser->parse(text);
    if (delegate->outcomes != 1 || parser->wrapperTask()) std::abort();
    // Ask every question of what was parsed, so that every record is touched.
    if (const auto& manager = parser->vuderuVASTManager()) {
        (void)manager->getMediaFileUrl();
        (void)manager->getImpressionUrls();
        (void)manager->getErrorUrls();
        for (std::int64_t kind = 0; kind <= 4; ++kind) (void)manager->getVideoClickUrl(kind);
        for (std::int32_t event = -1; event <= 17; ++event) (void)manager->getTrackingEventUrls(event);
    }
    return 0;
}
