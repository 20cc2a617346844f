// The loader's template render against Hogan.js itself: the same Hogan file run by node over the
// same template and content gives the page the loader made.

#include "sdk/adviews/tests/WebViewLoaderFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// A JavaScript string literal holding the text.
std::string jsString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += std::string("\\") + static_cast<char>(c);
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else out += static_cast<char>(c);
    }
    return out + "\"";
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Hogan.compile(template).render(content) as node runs the Hogan file; nullopt when node cannot run.
std::optional<std::string> nodeRender(const std::string& folder, const std::string& templateText, const std::string& content) {
    writeFile(folder + "/render.js",
              "var fs = require('fs'), vm = require('vm');\n"
              "vm.runInThisContext(fs.readFileSync(process.argv[2], 'utf8'));\n"
              "var template = fs.readFileSync(process.argv[3], 'utf8');\n"
              "var content = JSON.parse(fs.readFileSync(process.argv[4], 'utf8'));\n"
              "process.stdout.write(Hogan.compile(template).render(content));\n");
    writeFile(folder + "/template", templateText);
    writeFile(folder + "/content.json", content);
    std::string command = "node " + folder + "/render.js " TANDREL_HOGAN_FILE " " + folder + "/template " + folder + "/content.json";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (::pclose(pipe) != 0) return std::nullopt;
    return out;
}

class HoganRenderParityTest : public WebViewLoaderTest {
protected:
    void SetUp() override {
        WebViewLoaderTest::SetUp();
        char folder[] = "/tmp/tandrel-hogan-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        folder_ = folder;
        plain_ = std::make_shared<UIWebView>(CGRectMake(0, 0, 320, 480));
        plainDelegate_ = std::make_shared<RecordingWebDelegate>();
        plain_->setDelegate(plainDelegate_);
    }
    void TearDown() override {
        std::system(("rm -rf " + folder_).c_str());
        WebViewLoaderTest::TearDown();
    }
    // What a page's body reads as once the HTML parser has had it: the template the loader renders.
    std::string parsedBody(const std::string& body) {
        plainDelegate_->events.clear();
        plain_->loadHTMLStringBaseURL("<html><head></head><body>" + body + "</body></html>", nullptr);
        EXPECT_TRUE(runMainUntil([&] { return plainDelegate_->ended(); }));
        return plain_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML");
    }
    // Markup as a body holds it after being set, as the loader sets the rendered text.
    std::string asBody(const std::string& markup) {
        return plain_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML = " + jsString(markup) + ";document.body.innerHTML");
    }
    // The body the loader renders over the content.
    std::string loaderRender(const std::string& body, const std::string& content) {
        ad = std::make_shared<RecordingLoaderAd>();
        ad->addUnit(content);
        if (loader) loader->invalidate();
        completed = 0;
        makeLoader();
        loadHTML("<html><head></head><body>" + body + "</body></html>");
        return eval("document.body.innerHTML");
    }

    std::string folder_;
    std::shared_ptr<UIWebView> plain_;
    std::shared_ptr<RecordingWebDelegate> plainDelegate_;
};

} // namespace

TEST_F(HoganRenderParityTest, TheLoadersPageIsWhatHoganRendersInNode) {
    struct Case {
        const char* name;
        std::string body;
        std::string content;
        std::string shows;  // a piece of the rendered page, so an unrendered page cannot pass
    } cases[] = {
        {"variables and sections", "<p>{{#items}}<span>{{name}}</span>{{/items}}{{^none}}none left{{/none}}</p>",
         R"({"items":[{"name":"a"},{"name":"b"}],"none":[]})", "<span>a</span><span>b</span>none left"},
        {"escaping", "<p title=\"{{text}}\">{{text}}</p>", R"({"text":"<b>\"Tom\" & 'Jerry'</b>"})", "&lt;b&gt;"},
        {"triple braces and ampersand", "<div>{{{html}}}</div><div>{{&html}}</div>", R"({"html":"<i>raw</i>"})", "<div><i>raw</i></div>"},
        {"a table with its tags in cells", "<table><tbody><tr><td>{{#rows}}{{a}}={{b}};{{/rows}}</td><td>{{title}}</td></tr></tbody></table>",
         R"({"rows":[{"a":1,"b":"x<y"},{"a":2,"b":"z"}],"title":"T"})", "<td>1=x&lt;y;2=z;</td><td>T</td>"},
        // The parser moves text between rows out of the table, sections included, as browsers do:
        // the rows are then rendered once, empty, on both sides.
        {"a table with its sections between rows", "<table><tbody>{{#rows}}<tr><td>{{a}}</td></tr>{{/rows}}</tbody></table>",
         R"({"rows":[{"a":1},{"a":2}]})", "<table><tbody><tr><td></td></tr></tbody></table>"},
        {"dotted names, nesting, comments", "<p>{{! a note }}{{#outer}}{{inner.value}}-{{#list}}{{.}},{{/list}}{{/outer}}</p>",
         R"({"outer":{"inner":{"value":"deep"},"list":[1,2,3]}})", "deep-1,2,3,"},
        {"non-ASCII text and missing keys", "<p>{{name}}|{{missing}}|{{#flag}}on{{/flag}}</p>",
         R"({"name":"Zo\u00eb \u2713 \u65e5\u672c","flag":true})", "Zo\xc3\xab \xe2\x9c\x93"},
        {"changed delimiters", "<p>{{=<% %>=}}<% word %> {{ word }}</p>", R"({"word":"swap"})", "swap {{ word }}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string templateText = parsedBody(c.body);
        auto node = nodeRender(folder_, templateText, c.content);
        if (!node) GTEST_SKIP() << "node could not run Hogan.js";
        const std::string expected = asBody(*node);
        EXPECT_EQ(loaderRender(c.body, c.content), expected) << "template: " << templateText;
        EXPECT_NE(expected.find(c.shows), std::string::npos) << expected;
    }
}
