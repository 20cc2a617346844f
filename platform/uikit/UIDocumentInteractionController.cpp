#include "platform/uikit/UIDocumentInteractionController.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/InstalledApplications.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <map>

namespace {
constexpr const char* kAnyData = "public.data";
// The panel's rows and its margin to the window's edges, in points.
constexpr CGFloat kMenuRowHeight = 57;
constexpr CGFloat kMenuMargin = 8;
constexpr double kMenuWhite = 0.97;
constexpr CGFloat kMenuFontSize = 20;
constexpr CGFloat kMenuTextInset = 16;
// The system's tint blue, as the entries are written.
constexpr double kMenuTextRed = 0, kMenuTextGreen = 122 / 255.0, kMenuTextBlue = 1;

struct KnownType {
    const char* extension;
    const char* uti;
};
// The file types the system names by extension.
constexpr KnownType kKnownTypes[] = {
    {"txt", "public.plain-text"},  {"text", "public.plain-text"}, {"rtf", "public.rtf"},
    {"html", "public.html"},       {"htm", "public.html"},        {"xml", "public.xml"},
    {"pdf", "com.adobe.pdf"},      {"zip", "com.pkware.zip-archive"},
    {"png", "public.png"},         {"jpg", "public.jpeg"},        {"jpeg", "public.jpeg"},
    {"gif", "com.compuserve.gif"}, {"heic", "public.heic"},       {"m4a", "public.mpeg-4-audio"},
    {"mp3", "public.mp3"},         {"wav", "com.microsoft.waveform-audio"},
    {"mp4", "public.mpeg-4"},      {"mov", "com.apple.quicktime-movie"},
};

// Each type's parent; a type without one here conforms to "public.data", which is a "public.item".
const std::map<std::string, std::string>& parents() {
    static const std::map<std::string, std::string> map = {
        {"public.plain-text", "public.text"},
        {"public.rtf", "public.text"},
        {"public.html", "public.text"},
        {"public.xml", "public.text"},
        {"public.text", "public.content"},
        {"com.adobe.pdf", "public.content"},
        {"com.pkware.zip-archive", "public.archive"},
        {"public.png", "public.image"},
        {"public.jpeg", "public.image"},
        {"com.compuserve.gif", "public.image"},
        {"public.heic", "public.image"},
        {"public.image", "public.content"},
        {"public.mpeg-4-audio", "public.audio"},
        {"public.mp3", "public.audio"},
        {"com.microsoft.waveform-audio", "public.audio"},
        {"public.audio", "public.audiovisual-content"},
        {"public.mpeg-4", "public.movie"},
        {"com.apple.quicktime-movie", "public.movie"},
        {"public.movie", "public.audiovisual-content"},
        {"public.audiovisual-content", "public.content"},
        {"public.content", kAnyData},
        {"public.archive", kAnyData},
        {kAnyData, "public.item"},
    };
    return map;
}

bool opensType(const InstalledApplication& app, const std::string& uti, const std::string& extension) {
    for (const auto& type : app.documentContentTypes)
        if (UIDocumentInteractionController::typeConformsTo(uti, type)) return true;
    const std::string wanted = NSString::lowercaseString(extension);
    for (const auto& own : app.documentExtensions)
        if (own == "*" || (!wanted.empty() && NSString::lowercaseString(own) == wanted)) return true;
    return false;
}

// The shown menu: a panel along the bottom of the window that describes itself to the driver.
class DocumentMenuView : public UIView {
public:
    DocumentMenuView(const CGRect& frame, const std::shared_ptr<UIDocumentInteractionController>& controller)
        : UIView(frame), controller_(controller) {
        setBackgroundColor(UIColor::colorWithWhite(kMenuWhite, 1));
    }

    // One entry a row, then Cancel, centred in the system's blue.
    void drawRect(const CGRect&) override {
        auto controller = controller_.lock();
        if (!controller) return;
        std::vector<std::string> titles;
        for (const auto& entry : controller->shownEntries()) titles.push_back(entry.title);
        titles.push_back("Cancel");
        NSStringAttributes attributes{UIFont::systemFontOfSize(kMenuFontSize),
                                      UIColor::colorWithRed(kMenuTextRed, kMenuTextGreen, kMenuTextBlue, 1), NSTextAlignmentCenter};
        CGFloat width = bounds().size.width;
        CGFloat y = kMenuMargin / 2;
        for (const auto& title : titles) {
            CGFloat textHeight = NSStringBoundingRectWithSize(title, CGSizeMake(width, kMenuRowHeight), 0, attributes).size.height;
            NSStringDrawInRect(title, CGRectMake(kMenuTextInset, y + (kMenuRowHeight - textHeight) / 2, width - 2 * kMenuTextInset, textHeight),
                               attributes);
            y += kMenuRowHeight;
        }
    }

    void describeToScreen(UIScreenDescription& screen) override {
        UIView::describeToScreen(screen);
        auto controller = controller_.lock();
        if (!controller) return;
        std::vector<std::string> titles;
        for (const auto& entry : controller->shownEntries()) titles.push_back(entry.title);
        std::string url = controller->URL() ? controller->URL()->absoluteString() : "";
        screen.addLine("menu: " + UIScreenDescription::quoted(controller->name()) + " " + url +
                       " offers: " + NSString::componentsJoinedByString(titles, ", "));
        screen.beginLayer("the document menu", "complete ENTRY, airdrop or cancel");
        std::weak_ptr<UIDocumentInteractionController> weak = controller;
        auto choose = [weak, titles](const std::string& entry, UIScreenReply& reply) {
            auto me = weak.lock();
            if (!me) return reply.refuse("the document menu is gone");
            if (entry.empty()) return reply.refuse("complete which entry? (" + NSString::componentsJoinedByString(titles, ", ") + ")");
            // The hand-over shows once, as a "handed:" line under the screen that follows.
            if (!me->chooseMenuEntry(entry)) return reply.refuse("the document menu does not offer " + UIScreenDescription::quoted(entry));
            return true;
        };
        screen.addCommand("complete", choose);
        screen.addCommand("airdrop", [choose](const std::string&, UIScreenReply& reply) {
            return choose(UIDocumentInteractionController::kAirDropTitle, reply);
        });
        auto cancel = [weak](UIScreenReply&) {
            if (auto me = weak.lock()) me->dismissMenuAnimated(true);
            return true;
        };
        screen.addCommand("cancel", [cancel](const std::string&, UIScreenReply& reply) { return cancel(reply); });
        for (const auto& title : titles)
            screen.addTappable(title, [choose, title](UIScreenReply& reply) { return choose(title, reply); });
        screen.addTappable("Cancel", cancel);
    }

private:
    std::weak_ptr<UIDocumentInteractionController> controller_;
};
} // namespace

UIDocumentInteractionController::UIDocumentInteractionController(NSURLPtr url) : url_(std::move(url)) {}

// A menu whose controller is let go goes with it.
UIDocumentInteractionController::~UIDocumentInteractionController() { removeMenuView(); }

std::shared_ptr<UIDocumentInteractionController> UIDocumentInteractionController::interactionControllerWithURL(const NSURLPtr& url) {
    return std::make_shared<UIDocumentInteractionController>(url);
}

std::string UIDocumentInteractionController::name() const {
    if (name_) return *name_;
    return url_ ? NSString::lastPathComponent(url_->path()) : "";
}

std::string UIDocumentInteractionController::UTI() const {
    if (uti_) return *uti_;
    return url_ ? UTIForPathExtension(NSString::pathExtension(url_->path())) : kAnyData;
}

std::string UIDocumentInteractionController::UTIForPathExtension(const std::string& extension) {
    const std::string wanted = NSString::lowercaseString(extension);
    for (const auto& known : kKnownTypes)
        if (wanted == known.extension) return known.uti;
    return kAnyData;
}

bool UIDocumentInteractionController::typeConformsTo(const std::string& uti, const std::string& parent) {
    const std::string wanted = NSString::lowercaseString(parent);
    std::string type = NSString::lowercaseString(uti);
    for (int depth = 0; !type.empty() && depth < 16; ++depth) {
        if (type == wanted) return true;
        auto it = parents().find(type);
        type = it != parents().end() ? it->second : (type == "public.item" ? "" : kAnyData);
    }
    return false;
}

std::vector<UIDocumentInteractionMenuEntry> UIDocumentInteractionController::menuEntries() const {
    std::vector<UIDocumentInteractionMenuEntry> entries;
    bool isDirectory = false;
    if (!url_ || !url_->isFileURL() || !NSFileManager::defaultManager()->fileExistsAtPath(url_->path(), &isDirectory) || isDirectory)
        return entries;
    entries.push_back({kAirDropTitle, UIActivityTypeAirDrop});
    const std::string uti = UTI();
    const std::string extension = NSString::pathExtension(url_->path());
    for (const auto& app : InstalledApplications::all())
        if (opensType(app, uti, extension)) entries.push_back({kOpenInPrefix + app.displayName, app.identifier});
    return entries;
}

bool UIDocumentInteractionController::presentOptionsMenuFromRectInViewAnimated(const CGRect& rect, const std::shared_ptr<UIView>& view,
                                                                             bool) {
    auto window = view ? view->window() : nullptr;
    auto entries = menuEntries();
    if (!window || entries.empty()) return false;
    if (auto d = delegate()) d->documentInteractionControllerWillPresentOptionsMenu(*this);
    removeMenuView();
    shownEntries_ = std::move(entries);
    presentedRect_ = rect;
    presentedView_ = view;
    CGFloat height = kMenuRowHeight * static_cast<CGFloat>(shownEntries_.size() + 1) + kMenuMargin;
    // Along the bottom of the interface as it stands, upright, and again after each turn.
    auto frameIn = [height](const CGRect& bounds) {
        return CGRectMake(bounds.origin.x + kMenuMargin, bounds.origin.y + bounds.size.height - height - kMenuMargin,
                          bounds.size.width - 2 * kMenuMargin, height);
    };
    menuView_ = std::make_shared<DocumentMenuView>(frameIn(window->interfaceBounds()), self<UIDocumentInteractionController>());
    window->addUprightSubview(menuView_, frameIn);
    return true;
}

void UIDocumentInteractionController::removeMenuView() {
    if (menuView_) menuView_->removeFromSuperview();
    menuView_.reset();
}

void UIDocumentInteractionController::dismissMenuAnimated(bool) {
    if (!menuView_) return;
    auto keep = self<UIDocumentInteractionController>();
    removeMenuView();
    shownEntries_.clear();
    presentedView_.reset();
    if (auto d = delegate()) d->documentInteractionControllerDidDismissOptionsMenu(*this);
}

std::optional<UIDocumentInteractionMenuEntry> UIDocumentInteractionController::shownEntry(const std::string& entry) const {
    for (const auto& shown : shownEntries_) {
        std::string appName = shown.title.rfind(kOpenInPrefix, 0) == 0 ? shown.title.substr(std::string(kOpenInPrefix).size()) : "";
        if (entry == shown.title || entry == shown.application || (!appName.empty() && entry == appName)) return shown;
    }
    return std::nullopt;
}

bool UIDocumentInteractionController::chooseMenuEntry(const std::string& entry) {
    if (!menuView_) return false;
    auto chosen = shownEntry(entry);
    if (!chosen) return false;
    auto keep = self<UIDocumentInteractionController>();
    dismissMenuAnimated(true);
    auto d = delegate();
    if (d) d->documentInteractionControllerWillBeginSendingToApplication(*this, chosen->application);
    UIApplication::sharedApplication()->recordHandedDocument(chosen->application, url_);
    if (d) d->documentInteractionControllerDidEndSendingToApplication(*this, chosen->application);
    return true;
}
