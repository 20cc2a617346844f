#pragma once
// A VAST parser's delegate that records every outcome, and a fixture that parses documents and
// looks up what the ad manager stored for them.

#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuVASTXMLParser.h"
#include "sdk/ads/tests/VASTDocuments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RecordingVASTDelegate : public VuderuVASTXMLParserDelegate {
public:
    void parseSuccessful(const std::string& guid) override { outcomes.push_back("success " + guid); }
    void parseDidFail(const std::string& guid) override { outcomes.push_back("fail " + guid); }
    void parsetDidCancel(const std::string& guid) override { outcomes.push_back("cancel " + guid); }
    std::vector<std::string> outcomes;
};

class VASTParserTest : public DeviceTest {
protected:
    VuderuVASTXMLParserPtr start(const std::string& document, const std::string& guid = "g1") {
        auto parser = VuderuVASTXMLParser::initWithAdGUIDWithDelegate(guid, delegate_);
        parser->parse(document);
        return parser;
    }
    static VuderuVASTManagerPtr stored(const std::string& guid = "g1") {
        return std::dynamic_pointer_cast<VuderuVASTManager>(VuderuAdManager::instance()->vastManagerForAdGuid(guid));
    }
    // The one ad of a document that parsed, or nil (with the test failed).
    VuderuVASTAdPtr onlyAd(const std::string& document) {
        start(document);
        EXPECT_EQ(delegate_->outcomes, std::vector<std::string>{"success g1"});
        auto manager = stored();
        if (!manager || !manager->vuderuVASTAds() || manager->vuderuVASTAds()->size() != 1) {
            ADD_FAILURE() << "no single ad";
            return nullptr;
        }
        return manager->vuderuVASTAds()->front();
    }

    std::shared_ptr<RecordingVASTDelegate> delegate_ = std::make_shared<RecordingVASTDelegate>();
};
