#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuVASTManager.h"
#include "sdk/ads/tests/AdRequestFixture.h"
#include "sdk/ads/tests/AdResponseBytes.h"
#include "sdk/ads/tests/VASTDocuments.h"

namespace {

using Kind = RecordedOutcome::Kind;

class AdRequestVASTTest : public AdRequestTest {
protected:
    std::string inlineDocument(const std::string& id) const { return vastdoc::document("2.0", {vastdoc::inlineAd(id)}); }
    // A wrapper whose fetch the server holds until the test releases it.
    std::string stalledWrapper() const {
        return vastdoc::document("2.0", {vastdoc::wrapperAd("w", collector_.urlFor(AnalyticsCollector::kAdLogPath))});
    }
    static std::string broken() { return "<VAST version=\"2.0\"><Ad id=\"x\"><InLine></VAST>"; }
    static std::vector<std::string> guids(const std::vector<VuderuAdUnitPtr>& units) {
        std::vector<std::string> result;
        for (const auto& unit : units) result.push_back(unit->adFrames().front()->adLogGUID());
        return result;
    }
};

TEST_F(AdRequestVASTTest, VASTUnitsAreReportedOnceWhenEveryRemainingOneIsParsed) {
    enum class Release { None, Inline, NotFound };
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> units;  // frame GUID, display
        Release release;                                          // what the held wrapper fetch answers
        bool cancelFirst;                                         // the first unit's parse is cancelled while held
        Kind outcome;
        std::vector<std::string> reported;  // the units of a success
    };
    const std::string held = stalledWrapper();
    const Row rows[] = {
        {"one unit", {{"A", inlineDocument("a")}}, Release::None, false, Kind::Success, {"A"}},
        {"one unit behind a wrapper", {{"A", held}}, Release::Inline, false, Kind::Success, {"A"}},
        {"both parse, the first later", {{"A", held}, {"B", inlineDocument("b")}}, Release::Inline, false, Kind::Success, {"A", "B"}},
        {"the second fails before the first parses", {{"A", held}, {"B", broken()}}, Release::Inline, false, Kind::Success, {"A"}},
        {"the second fails after the first parsed", {{"A", inlineDocument("a")}, {"B", held}}, Release::NotFound, false, Kind::Success, {"A"}},
        {"a failure leaves a plain unit", {{"A", broken()}, {"P", "<html/>"}}, Release::None, false, Kind::Success, {"P"}},
        {"every unit fails", {{"A", broken()}, {"B", held}}, Release::NotFound, false, Kind::Failure, {}},
        {"the only unit is cancelled", {{"A", held}}, Release::Inline, true, Kind::Cancel, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        delegate_->outcomes.clear();
        std::vector<adresponse::FrameShape> shapes;
        for (const auto& [guid, display] : row.units) shapes.push_back({.guid = guid, .display = display});
        collector_.script(AnalyticsCollector::kAdsPath, {CollectorAnswer::ad(adresponse::response(shapes))});
        collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::stall()});
        collector_.setReleasedAnswer(row.release == Release::Inline ? CollectorAnswer::ok(inlineDocument("late"))
                                                                    : CollectorAnswer::withStatus(404, "gone"));
        std::weak_ptr<VuderuAdRequest> request;
        {
            auto strong = fetch();
            request = strong;
            if (row.release != Release::None) {
                ASSERT_TRUE(runMainUntil([&] { return collector_.stalledCount() == 1; }, 30));
                // Nothing is reported while a video unit is still parsing.
                EXPECT_TRUE(delegate_->outcomes.empty());
                for (const auto& unit : strong->adUnits()) EXPECT_EQ(unit->adType(), VuderuAdUnit::kAdTypeVideo);
                if (row.cancelFirst) strong->parsetDidCancel(row.units.front().first);
                collector_.releaseStalls();
            }
        }
        // The request lives while its parsers do: once it is gone every parser has reported.
        ASSERT_TRUE(runMainUntil([&] { return request.expired(); }, 30));
        drainMain();
        ASSERT_EQ(delegate_->outcomes.size(), 1u);
        const auto& outcome = delegate_->outcomes[0];
        EXPECT_EQ(outcome.kind, row.outcome);
        if (row.outcome == Kind::Failure) {
            EXPECT_EQ(outcome.error, nullptr);
        }
        if (row.outcome == Kind::Success) {
            EXPECT_EQ(outcome.params, Value("params"));
        }
        EXPECT_EQ(guids(outcome.reported), row.reported);
        for (const auto& unit : outcome.reported) {
            bool video = unit->adFrames().front()->display() != "<html/>";
            EXPECT_EQ(unit->adType(), video ? VuderuAdUnit::kAdTypeVideo : VuderuAdUnit::kAdTypeUnknown);
            EXPECT_EQ(unit->vastParsed(), video);
            if (video) {
                EXPECT_NE(VuderuAdManager::instance()->vastManagerForAdGuid(unit->adFrames().front()->adLogGUID()), nullptr);
            }
        }
    }
}

} // namespace
