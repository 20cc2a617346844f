#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/CodedBodies.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/analytics/VuderuUtil.h"
#include "sdk/ads/tests/VASTParserFixture.h"

namespace {

using VASTWrapperChainUrls = std::vector<std::string>;

// Wrapper documents are files that the loopback server hands out by name.
class VASTWrapperChainTest : public VASTParserTest {
protected:
    void SetUp() override {
        VASTParserTest::SetUp();
        makeDirectory("/served");
        collector_.serveFiles(host("/served"));
    }
    std::string url(const std::string& name) const { return collector_.urlFor("/" + name); }
    void serve(const std::string& name, const std::string& document) const { writeFile("/served/" + name, document); }
    std::string wrapperTo(const std::string& id, const std::string& next) const {
        return vastdoc::document("2.0", {vastdoc::wrapperAd(id, url(next))});
    }
    // Parses the first document and runs the main loop until the chain has ended.
    VuderuVASTXMLParserPtr chain(const std::string& first) {
        auto parser = start(first);
        EXPECT_TRUE(runMainUntil([&] { return !delegate_->outcomes.empty(); }, 30));
        drainMain();
        return parser;
    }
    std::size_t fetches() const { return collector_.requestCount(); }

    AnalyticsCollector collector_;
};

TEST_F(VASTWrapperChainTest, AChainEndsInOneAdWithTheFirstIdAndTheUrlsOfEveryDocument) {
    serve("b.xml", vastdoc::document("2.0", {vastdoc::inlineAd("b")}));
    auto parser = chain(wrapperTo("r", "b.xml"));
    EXPECT_EQ(delegate_->outcomes, VASTWrapperChainUrls{"success g1"});
    EXPECT_EQ(fetches(), 1u);
    EXPECT_EQ(parser->currentWrapperDepth(), 1);
    auto manager = stored();
    ASSERT_NE(manager, nullptr);
    ASSERT_EQ(manager->vuderuVASTAds()->size(), 1u);
    const auto& ad = manager->vuderuVASTAds()->front();
    EXPECT_EQ(ad->adId(), "r");
    EXPECT_EQ(ad->adType()->adFormatType(), VuderuVASTAdFormatWrapper);
    EXPECT_EQ(*manager->getImpressionUrls(), (VASTWrapperChainUrls{"http://t.example/imp?id=r", "http://t.example/imp?id=b"}));
    EXPECT_EQ(manager->getTrackingEventUrls(VuderuVASTTrackingEventStart),
              (VASTWrapperChainUrls{"http://t.example/start?id=r", "http://t.example/start?id=b"}));
    // The inline's creative takes the wrapper's place; the wrapper's click-through stays.
    ASSERT_EQ(ad->adType()->creatives()->size(), 1u);
    EXPECT_EQ(ad->adType()->creatives()->front()->depth(), 1);
    EXPECT_EQ(manager->getVideoClickUrl(VuderuVASTVideoClickThrough), "http://click.example/r");
    EXPECT_EQ(manager->getVideoClickUrl(VuderuVASTVideoClickTracking), "http://t.example/click?id=b");
    EXPECT_EQ(manager->getMediaFileUrl(), "http://media.example/b.mp4");
}

TEST_F(VASTWrapperChainTest, EveryChainEndsOnceWithTheRightCall) {
    // Four fetched wrappers w1..w4, each naming the next; w5, the fifth fetch, is the end the row
    // names.
    auto longChain = [&](const std::string& end) {
        for (int i = 1; i <= 4; ++i) serve("w" + std::to_string(i) + ".xml", wrapperTo("w" + std::to_string(i), "w" + std::to_string(i + 1) + ".xml"));
        serve("w5.xml", end);
        return wrapperTo("r", "w1.xml");
    };
    struct Row {
        const char* name;
        std::function<std::string()> prepare;  // serves the files and gives the first document
        std::string outcome;
        std::size_t fetches;
    };
    const Row rows[] = {
        {"a cycle",
         [&] {
             serve("c1.xml", wrapperTo("c1", "c2.xml"));
             serve("c2.xml", wrapperTo("c2", "c1.xml"));
             return wrapperTo("r", "c1.xml");
         },
         "fail g1", 2},
        {"a cycle without ad ids",
         [&] {
             vastdoc::Ad loop = vastdoc::wrapperAd("", url("n1.xml"));
             loop.attributes = "";
             serve("n1.xml", vastdoc::document("2.0", {loop}));
             return vastdoc::document("2.0", {loop});
         },
         "fail g1", 1},
        {"an answer naming no URI",
         [&] {
             vastdoc::Ad bare = vastdoc::wrapperAd("u", "");
             serve("u.xml", vastdoc::document("2.0", {bare}));
             return wrapperTo("r", "u.xml");
         },
         "fail g1", 1},
        {"an answer that is no VAST",
         [&] {
             serve("html.xml", "<html><body>gone</body></html>");
             return wrapperTo("r", "html.xml");
         },
         "fail g1", 1},
        {"five fetches", [&] { return longChain(vastdoc::document("2.0", {vastdoc::inlineAd("end")})); }, "success g1", 5},
        {"a sixth fetch", [&] { return longChain(wrapperTo("w5", "w6.xml")); }, "fail g1", 5},
        {"a 404", [&] { return wrapperTo("r", "missing.xml"); }, "fail g1", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        delegate_->outcomes.clear();
        VuderuAdManager::instance()->setVastManagerForAdGuid("g1", nullptr);
        std::size_t before = fetches();
        chain(row.prepare());
        EXPECT_EQ(delegate_->outcomes, VASTWrapperChainUrls{row.outcome});
        EXPECT_EQ(fetches() - before, row.fetches);
        EXPECT_EQ(stored() != nullptr, row.outcome == "success g1");
    }
}

// A wrapper's answer is read no further than a document may be long: an answer of 30 MB stops
// once past the bound, and the chain fails storing nothing; one in gzip counts as it unpacks.
TEST_F(VASTWrapperChainTest, AWrappersAnswerIsReadNoFurtherThanTheDocumentBound) {
    VuderuUtil::setLogLevel(2);
    LoopbackHTTPServer server;
    constexpr std::size_t kPiece = 64 * 1024;
    constexpr std::size_t kThirtyMegabytes = 30u << 20;
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    server.route("/plain.xml", coded_bodies::counted({{"Content-Type", "text/xml"}}, std::string(kPiece, ' '), kThirtyMegabytes / kPiece, sent));
    server.route("/coded.xml", LoopbackHTTPServer::fixed(200, {{"Content-Encoding", "gzip"}},
                                                         coded_bodies::compressedZeros(kThirtyMegabytes, coded_bodies::Format::Gzip)));
    for (const char* path : {"/plain.xml", "/coded.xml"}) {
        SCOPED_TRACE(path);
        delegate_->outcomes.clear();
        log_->clear();
        chain(vastdoc::document("2.0", {vastdoc::wrapperAd("r", server.url(path))}));
        EXPECT_EQ(delegate_->outcomes, VASTWrapperChainUrls{"fail g1"});
        EXPECT_EQ(stored(), nullptr);
        std::size_t refusals = 0;
        for (const auto& line : log_->lines()) refusals += line.find("is larger than 1048576 bytes") != std::string::npos ? 1 : 0;
        EXPECT_EQ(refusals, 1u);
    }
    // What went out is what the client read (the bound and one read) and what the sockets hold.
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == 2; }, 30));
    EXPECT_LT(sent->load(), kThirtyMegabytes / 2);
    VuderuUtil::setLogLevel(1);
}

TEST_F(VASTWrapperChainTest, ACancelledFetchEndsTheChainOnce) {
    // The wrapper's fetch stalls at the server, so it is in flight when it is cancelled.
    collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::stall()});
    auto parser = start(wrapperTo("r", AnalyticsCollector::kAdLogPath + 1));
    ASSERT_NE(parser->wrapperTask(), nullptr);
    ASSERT_TRUE(runMainUntil([&] { return collector_.stalledCount() == 1; }, 30));
    auto task = parser->wrapperTask();
    task->cancelTask();
    parser->requestDidCancelWithResponse(task, nullptr);
    // A late report of the same fetch changes nothing.
    parser->requestDidFailWithResponse(task, nullptr);
    collector_.releaseStalls();
    drainMain();
    EXPECT_EQ(delegate_->outcomes, VASTWrapperChainUrls{"cancel g1"});
    EXPECT_EQ(stored(), nullptr);
}

} // namespace
