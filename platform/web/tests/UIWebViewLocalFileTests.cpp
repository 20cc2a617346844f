#include "platform/web/tests/WebViewTestSupport.h"

#include <algorithm>

namespace {

struct LocalLoadCase {
    const char* name;
    std::string script;
    // What the refusal says, once.
    std::string said;
};

void PrintTo(const LocalLoadCase& c, std::ostream* out) { *out << c.name; }

const LocalLoadCase kLocalLoadCases[] = {
    {"a navigation", "location.href = 'file:///var/mobile/Documents/secret.txt';", "its navigation of file:///var/mobile/Documents/secret.txt"},
    {"a link", "var a = document.createElement('a'); a.href = 'file:///var/mobile/Documents/secret.txt'; a.click();",
     "its navigation of file:///var/mobile/Documents/secret.txt"},
    {"a frame", "var f = document.createElement('iframe'); f.src = 'file:///var/mobile/Documents/secret.txt'; document.body.appendChild(f);",
     "its frame of file:///var/mobile/Documents/secret.txt"},
    {"an added script", "var s = document.createElement('script'); s.src = 'file:///var/mobile/Documents/secret.js'; document.body.appendChild(s);",
     "its script of file:///var/mobile/Documents/secret.js"},
    {"an image", "new Image().src = 'file:///var/mobile/Documents/secret.txt';", "its image of file:///var/mobile/Documents/secret.txt"},
};

} // namespace

class LocalLoadTest : public WebViewTest, public ::testing::WithParamInterface<LocalLoadCase> {
protected:
    void SetUp() override {
        WebViewTest::SetUp();
        writeFile("/var/mobile/Documents/secret.txt", "the user's secret");
        writeFile("/var/mobile/Documents/secret.js", "window.leaked = document.body.innerHTML;");
    }
};

// A served banner cannot show the user's files: whatever a page that came from the network (or
// from a string) asks for in a file is refused, with a log line, and the banner stays on its page.
TEST_P(LocalLoadTest, APageNotFromAFileLoadsNoFile) {
    const LocalLoadCase& c = GetParam();
    loadPage("<p>banner</p><script>" + c.script + "</script><script src='file:///var/mobile/Documents/secret.js'></script>");
    drainMain();
    delegate->flush(*view);
    EXPECT_EQ(std::count_if(delegate->events.begin(), delegate->events.end(), [](const std::string& e) { return e.find("policy file:") == 0; }), 0);
    EXPECT_EQ(std::count(delegate->events.begin(), delegate->events.end(), "start"), 1);
    EXPECT_EQ(view->pageURL(), "http://ads.example/page.html");
    EXPECT_EQ(view->visibleText(), "banner");
    EXPECT_EQ(eval("typeof leaked"), "undefined");
    EXPECT_EQ(log_->count(c.said), 1u);
    EXPECT_EQ(log_->count("its script of file:///var/mobile/Documents/secret.js"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Loads, LocalLoadTest, ::testing::ValuesIn(kLocalLoadCases), CaseName());

// A page that came from a file may load the files next to it.
TEST_F(LocalLoadTest, APageFromAFileLoadsFiles) {
    writeFile("/var/ad/page.html", "<p>local</p><script src='../mobile/Documents/secret.js'></script>");
    view->loadRequest(NSURLRequest::requestWithURL(NSURL::fileURLWithPath("/var/ad/page.html")));
    waitForEnd();
    EXPECT_EQ(eval("leaked"), "<p>local</p><script src=\"../mobile/Documents/secret.js\"></script>");
}
