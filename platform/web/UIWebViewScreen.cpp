#include "platform/web/UIWebView.h"

#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIEvent.h"
#include "platform/uikit/UIGraphics.h"

#include <cctype>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace {

std::string trim(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

// The declarations of an element's style attribute, later ones winning.
std::optional<std::string> styleValue(const WebNode* node, std::string_view property) {
    const std::string* style = node->attribute("style");
    if (!style) return std::nullopt;
    std::optional<std::string> found;
    std::stringstream declarations(*style);
    std::string declaration;
    while (std::getline(declarations, declaration, ';')) {
        auto colon = declaration.find(':');
        if (colon == std::string::npos) continue;
        std::string key = trim(declaration.substr(0, colon));
        for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (key == property) found = trim(declaration.substr(colon + 1));
    }
    return found;
}

bool isHiddenElement(const WebNode* node) {
    if (node->kind != WebNode::Kind::Element) return false;
    if (node->name == "script" || node->name == "style" || node->name == "head" || node->name == "template" ||
        node->name == "noscript" || node->attribute("hidden"))
        return true;
    auto display = styleValue(node, "display");
    return display && *display == "none";
}

// The element's nodes that show, in document order; hidden subtrees are left out whole. A
// friendly frame shows what its document's body holds in the IFRAME's place.
template <class Visit>
void walkVisible(const WebDocument& document, const WebNode* from, Visit visit) {
    std::vector<const WebNode*> stack(from->children.rbegin(), from->children.rend());
    while (!stack.empty()) {
        const WebNode* node = stack.back();
        stack.pop_back();
        if (isHiddenElement(node)) continue;
        visit(node);
        const WebNode* frame = node->kind == WebNode::Kind::Element && node->name == "iframe" ? document.frameDocumentOf(node) : nullptr;
        const WebNode* holder = frame ? document.part(frame, "body") : node;
        if (holder) stack.insert(stack.end(), holder->children.rbegin(), holder->children.rend());
    }
}

std::optional<double> pixels(const WebNode* node, std::string_view property) {
    auto value = styleValue(node, property);
    if (!value || value->size() < 3 || value->compare(value->size() - 2, 2, "px") != 0) return std::nullopt;
    char* end = nullptr;
    double number = std::strtod(value->c_str(), &end);
    if (end != value->c_str() + value->size() - 2) return std::nullopt;
    return number;
}

UIColorPtr parseColor(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    text = trim(text);
    if (auto space = text.find(' '); space != std::string::npos && text.rfind("rgb", 0) != 0) text = text.substr(0, space);
    static const std::pair<const char*, const char*> kNamed[] = {
        {"white", "#ffffff"}, {"black", "#000000"}, {"red", "#ff0000"}, {"green", "#008000"}, {"blue", "#0000ff"},
        {"yellow", "#ffff00"}, {"gray", "#808080"}, {"grey", "#808080"}, {"orange", "#ffa500"}, {"purple", "#800080"},
        {"silver", "#c0c0c0"}, {"lime", "#00ff00"}, {"navy", "#000080"}, {"teal", "#008080"}, {"maroon", "#800000"}};
    for (auto& [name, hex] : kNamed)
        if (text == name) text = hex;
    double r = 0, g = 0, b = 0, a = 1;
    if (text.size() == 7 && text[0] == '#') {
        unsigned long value = std::strtoul(text.c_str() + 1, nullptr, 16);
        r = static_cast<double>((value >> 16) & 0xff), g = static_cast<double>((value >> 8) & 0xff), b = static_cast<double>(value & 0xff);
    } else if (text.size() == 4 && text[0] == '#') {
        unsigned long value = std::strtoul(text.c_str() + 1, nullptr, 16);
        r = static_cast<double>(((value >> 8) & 0xf) * 17), g = static_cast<double>(((value >> 4) & 0xf) * 17),
        b = static_cast<double>((value & 0xf) * 17);
    } else if (text.rfind("rgb", 0) == 0 && text.find('(') != std::string::npos) {
        std::string inside = text.substr(text.find('(') + 1);
        for (auto& c : inside)
            if (c == ',' || c == ')') c = ' ';
        std::stringstream numbers(inside);
        numbers >> r >> g >> b;
        if (!(numbers >> a)) a = 1;
    } else {
        return nullptr;
    }
    return UIColor::colorWithRed(r / 255, g / 255, b / 255, a);
}

} // namespace

UIColorPtr UIWebView::pageBackgroundColor() const {
    const WebNode* body = page().document().body();
    if (!body) return nullptr;
    if (auto value = styleValue(body, "background-color")) return parseColor(*value);
    if (auto value = styleValue(body, "background")) return parseColor(*value);
    if (const std::string* value = body->attribute("bgcolor")) return parseColor(*value);
    return nullptr;
}

void UIWebView::drawRect(const CGRect& rect) {
    auto color = pageBackgroundColor();
    auto context = UIGraphicsGetCurrentContext();
    if (!color || !context) return;
    context->setFillColor(color->red(), color->green(), color->blue(), color->alpha());
    context->fillRect(rect);
}

std::string UIWebView::visibleText() const {
    std::string text;
    const WebNode* body = page().document().body();
    if (!body) return text;
    walkVisible(page().document(), body, [&](const WebNode* node) {
        if (node->kind != WebNode::Kind::Text) return;
        std::string piece = trim(node->data);
        if (piece.empty()) return;
        if (!text.empty()) text += ' ';
        text += piece;
    });
    return text;
}

namespace {

// What the driver can name on the page: elements by id or alt, links and buttons by their text.
struct Named {
    std::string name;
    const WebNode* node;
    bool link;
    bool image;
};

std::string fileNameOf(const std::string* source) {
    if (!source) return {};
    std::string path = source->substr(0, source->find_first_of("?#"));
    if (path.rfind("data:", 0) == 0) return {};
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The link around the page's first image, which a banner's creative is: a tap that hits nothing
// placed lands there.
const WebNode* bannerLink(const WebDocument& document, const WebNode* body) {
    const WebNode* found = nullptr;
    walkVisible(document, body, [&](const WebNode* node) {
        if (found || node->kind != WebNode::Kind::Element || node->name != "img") return;
        for (const WebNode* up = node->parent; up && up != body; up = up->parent ? up->parent : document.frameOwnerOf(up))
            if (up->kind == WebNode::Kind::Element && up->name == "a" && up->attribute("href")) {
                found = node;
                return;
            }
    });
    return found;
}

std::vector<Named> namedElements(const WebDocument& document) {
    std::vector<Named> out;
    const WebNode* body = document.body();
    if (!body) return out;
    walkVisible(document, body, [&](const WebNode* node) {
        if (node->kind != WebNode::Kind::Element) return;
        bool image = node->name == "img";
        if (const std::string* id = node->attribute("id"); id && !id->empty()) out.push_back({*id, node, false, image});
        if (const std::string* alt = node->attribute("alt"); alt && !alt->empty()) out.push_back({*alt, node, false, image});
        else if (image && !node->attribute("id")) {
            // An image named by nothing else is named by its file, as a banner's often is.
            if (std::string file = fileNameOf(node->attribute("src")); !file.empty()) out.push_back({file, node, false, true});
        }
        bool button = node->name == "button" || (node->name == "input" && node->attribute("type") &&
                                                 (*node->attribute("type") == "button" || *node->attribute("type") == "submit"));
        if (node->name == "a" || button) {
            std::string text = trim(document.textContent(node));
            if (text.empty() && node->attribute("value")) text = *node->attribute("value");
            if (!text.empty()) out.push_back({text, node, true, false});
        }
    });
    return out;
}

} // namespace

bool UIWebView::clickNamed(const std::string& text, UIScreenReply& reply) {
    for (const auto& named : namedElements(page().document())) {
        if (named.name != text) continue;
        page().tap(named.node, evaluationLimit());
        afterEvaluation();
        return true;
    }
    return reply.refuse("nothing named " + UIScreenDescription::quoted(text) + " on the page");
}

void UIWebView::clickAt(CGPoint point) {
    const WebDocument& document = page().document();
    const WebNode* body = document.body();
    if (!body) return;
    const WebNode* hit = nullptr;
    long hitLayer = 0;
    CGSize size = bounds().size;
    walkVisible(document, body, [&](const WebNode* node) {
        if (node->kind != WebNode::Kind::Element) return;
        auto position = styleValue(node, "position");
        auto width = pixels(node, "width"), height = pixels(node, "height");
        if (!position || *position != "absolute" || !width || !height) return;
        auto left = pixels(node, "left"), top = pixels(node, "top"), right = pixels(node, "right"), bottom = pixels(node, "bottom");
        double x = left ? *left : right ? size.width - *right - *width : 0;
        double y = top ? *top : bottom ? size.height - *bottom - *height : 0;
        if (point.x < x || point.x >= x + *width || point.y < y || point.y >= y + *height) return;
        auto z = styleValue(node, "z-index");
        long layer = z ? std::strtol(z->c_str(), nullptr, 10) : 0;
        if (!hit || layer >= hitLayer) hit = node, hitLayer = layer;
    });
    if (!hit) hit = bannerLink(document, body);
    page().tap(hit ? hit : body, evaluationLimit());
    afterEvaluation();
}

void UIWebView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    screen.addLine("web: " + pageURL());
    if (std::string text = visibleText(); !text.empty()) screen.addLine("  " + text);
    auto me = weakSelf<UIWebView>();
    for (const auto& named : namedElements(page().document())) {
        if (named.link) screen.addLine("  [" + named.name + "]");
        else if (named.image) screen.addLine("  (" + named.name + ")");
        screen.addTappable(named.name, [me, name = named.name](UIScreenReply& reply) {
            auto view = me.lock();
            return view ? view->clickNamed(name, reply) : reply.refuse("the page is gone");
        });
    }
}

UIView::TapOutcome UIWebView::tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply&) {
    if (!event || event->allTouches().empty()) return TapOutcome::Passed;
    clickAt(event->allTouches()[0]->locationInView(self<UIView>()));
    return TapOutcome::Taken;
}
