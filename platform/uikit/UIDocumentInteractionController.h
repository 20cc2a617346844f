#pragma once
// The system's document menu: made for a file URL, it offers the file to AirDrop and as "Open in
// NAME" to every installed app (InstalledApplications) whose document types take the file's type.
// The headless device shows the menu as a panel laid over the window of the view it was presented
// in; the choice comes from the driver (complete ENTRY, airdrop, cancel), and a file handed over
// is recorded by the application (UIApplication::handedDocuments).

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIDocumentInteractionController;
class UIView;

// Every call is optional: a delegate that does not implement one is simply not told.
class UIDocumentInteractionControllerDelegate {
public:
    virtual ~UIDocumentInteractionControllerDelegate() = default;
    virtual void documentInteractionControllerWillPresentOptionsMenu(UIDocumentInteractionController&) {}
    virtual void documentInteractionControllerDidDismissOptionsMenu(UIDocumentInteractionController&) {}
    virtual void documentInteractionControllerWillBeginSendingToApplication(UIDocumentInteractionController&,
                                                                          const std::string& /*application*/) {}
    virtual void documentInteractionControllerDidEndSendingToApplication(UIDocumentInteractionController&,
                                                                        const std::string& /*application*/) {}
};

// One entry of the options menu: its title and who receives the file (an app's identifier, or the
// AirDrop activity type).
struct UIDocumentInteractionMenuEntry {
    std::string title;
    std::string application;
};

class UIDocumentInteractionController : public NSObject {
public:
    static constexpr const char* kAirDropTitle = "AirDrop";
    static constexpr const char* kOpenInPrefix = "Open in ";

    explicit UIDocumentInteractionController(NSURLPtr url);
    ~UIDocumentInteractionController() override;
    static std::shared_ptr<UIDocumentInteractionController> interactionControllerWithURL(const NSURLPtr& url);

    const NSURLPtr& URL() const { return url_; }
    void setURL(const NSURLPtr& url) { url_ = url; }
    // The name shown for the file: its URL's last path component unless set.
    std::string name() const;
    void setName(std::string name) { name_ = std::move(name); }
    // The file's type identifier: from the URL's path extension unless set.
    std::string UTI() const;
    void setUTI(std::string uti) { uti_ = std::move(uti); }
    std::shared_ptr<UIDocumentInteractionControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIDocumentInteractionControllerDelegate>& delegate) { delegate_ = delegate; }

    // The type identifier of a path extension, compared without case; "public.data" for any other.
    static std::string UTIForPathExtension(const std::string& extension);
    // Whether a type identifier is, or conforms to, another ("public.plain-text" is "public.text").
    static bool typeConformsTo(const std::string& uti, const std::string& parent);

    // What the menu would offer now: AirDrop, then "Open in NAME" for each app that opens the
    // file's type, in the apps' name order. Nothing for a URL that is not an existing file.
    std::vector<UIDocumentInteractionMenuEntry> menuEntries() const;

    // Shows the menu for the rectangle of the view (which must be in a window). NO, with nothing
    // shown, when nothing can take the file or the view is not on screen.
    bool presentOptionsMenuFromRectInViewAnimated(const CGRect& rect, const std::shared_ptr<UIView>& view, bool animated);
    void dismissMenuAnimated(bool animated);
    bool isMenuVisible() const { return menuView_ != nullptr; }
    // Where the shown menu was presented from (the view's rectangle), for as long as it is shown.
    const CGRect& presentedRect() const { return presentedRect_; }
    std::shared_ptr<UIView> presentedView() const { return presentedView_.lock(); }
    const std::vector<UIDocumentInteractionMenuEntry>& shownEntries() const { return shownEntries_; }

    // The user's choice of the shown menu, by title ("Open in Reader", "AirDrop"), app name or
    // identifier: the menu goes and the file is handed over. False when the menu offers no such entry.
    bool chooseMenuEntry(const std::string& entry);

private:
    std::optional<UIDocumentInteractionMenuEntry> shownEntry(const std::string& entry) const;
    void removeMenuView();

    NSURLPtr url_;
    std::optional<std::string> name_;
    std::optional<std::string> uti_;
    std::weak_ptr<UIDocumentInteractionControllerDelegate> delegate_;
    std::shared_ptr<UIView> menuView_;
    std::vector<UIDocumentInteractionMenuEntry> shownEntries_;
    CGRect presentedRect_{};
    std::weak_ptr<UIView> presentedView_;
};
