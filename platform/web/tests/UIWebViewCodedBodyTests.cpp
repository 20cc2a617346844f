// Pages and their scripts in gzip or deflate load as a device loads them, decoded; a coding the
// loader does not read fails the load, and a small coded body that unpacks past a bound is refused
// at the bound.

#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/CodedBodies.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/web/tests/WebViewTestSupport.h"

namespace {
using coded_bodies::Format;

LoopbackHTTPServer::Handler codedAnswer(const std::string& type, const std::string& coding, const std::string& body) {
    return LoopbackHTTPServer::fixed(200, {{"Content-Type", type}, {"Content-Encoding", coding}}, body);
}

} // namespace

TEST_F(WebViewTest, CodedPagesAndScriptsAreDecoded) {
    LoopbackHTTPServer server;
    const std::string page = "<html><body><p>Decoded page</p><script src='s.js'></script><script src='bomb.js'></script>"
                             "<script>console.log('last')</script></body></html>";
    server.route("/page.html", codedAnswer("text/html", "gzip", coded_bodies::compressed(page, Format::Gzip)));
    server.route("/s.js", codedAnswer("text/javascript", "deflate", coded_bodies::compressed("console.log('script ran')", Format::Zlib)));
    // Four times the script bound, unpacked from a few kilobytes.
    server.route("/bomb.js", codedAnswer("text/javascript", "gzip", coded_bodies::compressedZeros(4 * UIWebView::kMaxScriptBytes, Format::Gzip)));
    server.route("/brotli.html", codedAnswer("text/html", "br", page));

    view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/page.html"))));
    waitForEnd();
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(view->visibleText(), "Decoded page");
    EXPECT_EQ(view->consoleLines(), (std::vector<std::string>{"script ran", "script not loaded: bomb.js", "last"}));

    delegate->events.clear();
    view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/brotli.html"))));
    waitForEnd();
    EXPECT_EQ(delegate->events.back(), "fail " + std::to_string(NSURLErrorCannotDecodeContentData));
}

TEST_F(WebViewTest, ACodedPageUnpackingPastTheGatheredLimitFails) {
    struct LimitGuard {
        LimitGuard() { NSURLConnection::setGatheredBodyLimit(1 << 20); }
        ~LimitGuard() { NSURLConnection::setGatheredBodyLimit(0); }
    } limit;
    LoopbackHTTPServer server;
    server.route("/bomb.html", codedAnswer("text/html", "gzip", coded_bodies::compressedZeros(64u << 20, Format::Gzip)));
    view->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/bomb.html"))));
    waitForEnd();
    EXPECT_EQ(delegate->events.back(), "fail " + std::to_string(NSURLErrorDataLengthExceedsMaximum));
}
