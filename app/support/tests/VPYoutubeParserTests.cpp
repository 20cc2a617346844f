#include "app/support/tests/VPYoutubeParserFixture.h"

#include "platform/foundation/NSThread.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

#include <future>

using namespace vpfixture;

namespace {
const char* kPage = "http://www.youtube.com/watch?v=vid42&t=3";

Value::Dictionary moreInfo() {
    return {{"title", "A Title"}, {"iurl", "http://i/hq.jpg"}, {"length_seconds", "42"}};
}
} // namespace

TEST_F(VPYoutubeParserTest, StreamLookupsForEachReplyKind) {
    struct Case {
        const char* name;
        std::string body;
        std::optional<Value::Dictionary> videos;
        long code = 0;
    };
    const std::string hd = "http://cdn/hd?a=1&b=x y";
    const Case cases[] = {
        {"one stream per quality",
         reply({{.quality = "hd720", .url = hd, .itag = "22"}, {.quality = "medium", .url = "http://cdn/m"}, {.quality = "small", .url = "http://cdn/s", .itag = "36"}}),
         Value::Dictionary{{"hd720", hd + "&signature=22"}, {"medium", "http://cdn/m&signature=18"},
                           {"small", "http://cdn/s&signature=36"}, {"moreInfo", moreInfo()}}},
        {"first of a quality wins",
         reply({{.quality = "medium", .url = "http://cdn/first"}, {.quality = "medium", .url = "http://cdn/second", .itag = "43"}}),
         Value::Dictionary{{"medium", "http://cdn/first&signature=18"}, {"moreInfo", moreInfo()}}},
        {"filters: stereo3d whatever its value, no itag, not mp4",
         reply({{.quality = "hd720", .url = "http://cdn/3d", .extra = "&stereo3d=0"},
                {.quality = "hd720", .url = "http://cdn/noitag", .itag = ""},
                {.quality = "hd720", .url = "http://cdn/webm", .type = "video/webm; codecs=\"vp8.0, vorbis\""},
                {.quality = "small", .url = "http://cdn/ok"}}),
         Value::Dictionary{{"small", "http://cdn/ok&signature=18"}, {"moreInfo", moreInfo()}}},
        {"streams without url, quality or type, or with a bad escape, are skipped",
         reply({{.quality = "hd720", .url = ""}, {.quality = "", .url = "http://cdn/noquality"},
                {.quality = "medium", .url = "http://cdn/notype", .type = ""},
                {.quality = "small", .url = "", .extra = "&url=" + enc("http://cdn/bad%ZZ")},
                {.quality = "small", .url = "http://cdn/good", .itag = "17"}}),
         Value::Dictionary{{"small", "http://cdn/good&signature=17"}, {"moreInfo", moreInfo()}}},
        {"no more information", reply({{.quality = "small", .url = "http://cdn/s"}}, ""),
         Value::Dictionary{{"small", "http://cdn/s&signature=18"}, {"moreInfo", Value::Dictionary{}}}},
        {"live", "status=ok&live_playback=1&hlsvp=http%3A%2F%2Flive%2Fm.m3u8&hlsvp=second",
         Value::Dictionary{{"live", "http://live/m.m3u8"}}},
        {"live without address", "status=ok&live_playback=1", std::nullopt, VPYoutubeParserErrorNoStreamMap},
        {"empty map, not live", "status=ok&url_encoded_fmt_stream_map=&title=x", std::nullopt, VPYoutubeParserErrorNoStreamMap},
        {"no map", "status=fail&reason=Invalid+parameters.", std::nullopt, VPYoutubeParserErrorNoStreamMap},
        {"all filtered: the empty result, with the reason",
         reply({{.quality = "hd720", .url = "http://cdn/webm", .type = "video/webm"}, {.quality = "medium", .url = "http://cdn/3d", .extra = "&stereo3d=1"}}),
         Value::Dictionary{}, VPYoutubeParserErrorNoPlayableStream},
        {"bad UTF-8", "title=\xC3\x28&" + reply({{.quality = "small", .url = "http://cdn/s"}}), std::nullopt,
         VPYoutubeParserErrorReplyNotUTF8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        serve(c.body);
        NSErrorPtr error;
        auto videos = VPYoutubeParser::h264videosWithYoutubeURL(NSURL::URLWithString(kPage), &error);
        EXPECT_EQ(videos, c.videos);
        if (c.code) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain(), "me.lanternfig.yt-parser");
            EXPECT_EQ(error->code(), c.code);
            EXPECT_FALSE(error->localizedDescription().empty());
        }
        // The same bytes decode alike without the request.
        EXPECT_EQ(VPYoutubeParser::h264videosFromVideoInformation(c.body), c.videos);
    }
}

TEST_F(VPYoutubeParserTest, RequestCarriesTheEscapedIdAndTheBrowsersUserAgent) {
    serve(reply({{.quality = "small", .url = "http://cdn/s"}}));
    ASSERT_TRUE(VPYoutubeParser::h264videosWithYoutubeURL(NSURL::URLWithString("http://www.youtube.com/watch?v=a%26b%3Dc+d%23e")));
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/get_video_info?video_id=a%26b%3Dc%20d%23e");
    EXPECT_EQ(requests[0].header("User-Agent"), VPYoutubeParser::kUserAgent);
}

TEST_F(VPYoutubeParserTest, FailuresSayWhy) {
    NSErrorPtr error;
    EXPECT_FALSE(VPYoutubeParser::h264videosWithYoutubeURL(NSURL::URLWithString("http://www.youtube.com/watch?t=1"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), VPYoutubeParserErrorInvalidURL);
    EXPECT_EQ(error->localizedDescription(), "Invalid YouTube URL");
    EXPECT_EQ(server_.requestCount(), 0u);

    server_.route("/get_video_info", LoopbackHTTPServer::truncated(200, 100, "status=ok"));
    error.reset();
    EXPECT_FALSE(VPYoutubeParser::h264videosWithYoutubeID(std::string("vid"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "me.lanternfig.yt-parser");
    EXPECT_EQ(error->code(), VPYoutubeParserErrorTransport);
    EXPECT_TRUE(error->underlyingError());
}

TEST_F(VPYoutubeParserTest, AsynchronousLookupAnswersOnTheMainQueue) {
    serve(reply({{.quality = "medium", .url = "http://cdn/m"}}));
    std::optional<Value::Dictionary> result;
    NSErrorPtr error;
    bool called = false, onMain = false;
    auto lookUp = [&](const char* page) {
        called = false;
        VPYoutubeParser::h264videosWithYoutubeURLCompleteBlock(NSURL::URLWithString(page), [&](const auto& videos, const auto& e) {
            called = true;
            onMain = NSThread::isMainThread();
            result = videos;
            error = e;
        });
    };
    lookUp(kPage);
    ASSERT_TRUE(runMainUntil([&] { return called; }));
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(error);
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)["medium"], Value("http://cdn/m&signature=18"));

    // A map of no MP4 stream gives the empty result and its reason, as the synchronous lookup does.
    serve(reply({{.quality = "hd720", .url = "http://cdn/webm", .type = "video/webm"}}));
    lookUp(kPage);
    ASSERT_TRUE(runMainUntil([&] { return called; }));
    EXPECT_EQ(result, Value::Dictionary{});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), VPYoutubeParserErrorNoPlayableStream);

    // A failed lookup hands its reason over; an address without id answers at once.
    serve("status=fail");
    lookUp(kPage);
    ASSERT_TRUE(runMainUntil([&] { return called; }));
    EXPECT_FALSE(result);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), VPYoutubeParserErrorNoStreamMap);

    lookUp("http://youtu.be/");
    EXPECT_TRUE(called);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), VPYoutubeParserErrorInvalidURL);
}

TEST_F(VPYoutubeParserTest, ThumbnailIsFetchedWithTheUserAgent) {
    auto png = UIImagePNGRepresentation(UIImage::imageNamed("egg"));
    ASSERT_TRUE(png);
    server_.route("/vi/vid42/hqdefault.jpg",
                  LoopbackHTTPServer::fixed(200, {{"Content-Type", "image/png"}}, std::string(png->stringView())));
    auto url = NSURL::URLWithString(kPage);
    EXPECT_EQ(VPYoutubeParser::thumbnailUrlForYoutubeURLThumbnailSize(url, VPYoutubeThumbnailSizeHigh)->absoluteString(),
              server_.url("/vi/vid42/hqdefault.jpg"));
    EXPECT_FALSE(VPYoutubeParser::thumbnailUrlForYoutubeURLThumbnailSize(nullptr, VPYoutubeThumbnailSizeHigh));

    std::promise<std::pair<UIImagePtr, NSErrorPtr>> answer;
    VPYoutubeParser::thumbnailForYoutubeURLThumbnailSizeCompleteBlock(
        url, VPYoutubeThumbnailSizeHigh, [&](const UIImagePtr& image, const NSErrorPtr& error) { answer.set_value({image, error}); });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    auto [image, error] = future.get();
    EXPECT_TRUE(image);
    EXPECT_FALSE(error);
    ASSERT_EQ(server_.requestCount(), 1u);
    EXPECT_EQ(server_.requests()[0].header("User-Agent"), VPYoutubeParser::kUserAgent);

    // Bytes that are no image say so; no id gives the lookup's own error at once.
    server_.route("/vi/vid42/default.jpg", LoopbackHTTPServer::fixed(200, {}, "<html>"));
    std::promise<NSErrorPtr> notImage;
    VPYoutubeParser::thumbnailForYoutubeIDThumbnailSizeCompleteBlock(
        std::string("vid42"), VPYoutubeThumbnailSize(9), [&](const UIImagePtr& image, const NSErrorPtr& error) {
            EXPECT_FALSE(image);
            notImage.set_value(error);
        });
    auto notImageFuture = notImage.get_future();
    ASSERT_EQ(notImageFuture.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    auto notImageError = notImageFuture.get();
    ASSERT_TRUE(notImageError);
    EXPECT_EQ(notImageError->code(), VPYoutubeParserErrorThumbnailNotImage);

    NSErrorPtr noID;
    VPYoutubeParser::thumbnailForYoutubeIDThumbnailSizeCompleteBlock(std::nullopt, VPYoutubeThumbnailSizeDefault,
                                                                     [&](const UIImagePtr&, const NSErrorPtr& error) { noID = error; });
    ASSERT_TRUE(noID);
    EXPECT_EQ(noID->domain(), "com.lanternfig.yt-parser");
    EXPECT_EQ(noID->code(), 0);
    EXPECT_EQ(noID->localizedDescription(), "Could not find a valid Youtube ID");
}

TEST_F(VPYoutubeParserTest, DetailsAreParsedJSONWithoutTheUserAgent) {
    server_.route("/feeds/api/videos/vid42", LoopbackHTTPServer::fixed(200, {}, R"({"entry":{"title":"T"}})"));
    std::promise<std::pair<std::optional<Value>, NSErrorPtr>> answer;
    VPYoutubeParser::detailsForYouTubeURLCompleteBlock(NSURL::URLWithString(kPage), [&](const auto& details, const auto& error) {
        answer.set_value({details, error});
    });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    auto [details, error] = future.get();
    ASSERT_TRUE(details);
    EXPECT_EQ((*details)["entry"]["title"], Value("T"));
    EXPECT_FALSE(error);
    auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/feeds/api/videos/vid42?alt=json");
    EXPECT_FALSE(requests[0].header("User-Agent") == VPYoutubeParser::kUserAgent);

    server_.route("/feeds/api/videos/vid42", LoopbackHTTPServer::fixed(200, {}, "{not json"));
    std::promise<std::pair<std::optional<Value>, NSErrorPtr>> bad;
    VPYoutubeParser::detailsForYouTubeURLCompleteBlock(NSURL::URLWithString(kPage), [&](const auto& d, const auto& e) {
        bad.set_value({d, e});
    });
    auto badFuture = bad.get_future();
    ASSERT_EQ(badFuture.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    auto [badDetails, parseError] = badFuture.get();
    EXPECT_FALSE(badDetails);
    ASSERT_TRUE(parseError);
    EXPECT_EQ(parseError->code(), 3840);
}
