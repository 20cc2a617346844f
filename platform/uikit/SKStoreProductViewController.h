#pragma once
// The in-app store page. Looked up by name at run time: "SKStoreProductViewController" is found
// while the class is registered (registerClass, for a device with StoreKit). A load is recorded
// with its parameters and completed on the platform clock as the device's store answers (the
// driver's `store ok [SECONDS]`, `store fail`, `store never`; ok after 1 s by default). Presented,
// the page shows "store: id N" and a "Done" button that tells the delegate the user is finished.
//
// Classes made at run time from it are registry entries that wrap it and add operations by name
// (shouldAutorotate, prefersStatusBarHidden); a page turned into one answers with them. A test
// switch makes making one fail.

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIViewController.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SKStoreProductViewController;

inline constexpr char SKStoreProductParameterITunesItemIdentifier[] = "id";

class SKStoreProductViewControllerDelegate {
public:
    virtual ~SKStoreProductViewControllerDelegate() = default;
    virtual void productViewControllerDidFinish(const std::shared_ptr<SKStoreProductViewController>& controller) = 0;
};

class SKStoreProductViewController : public UIViewController {
public:
    using Completion = std::function<void(bool result, const NSErrorPtr& error)>;
    using Method = std::function<bool()>;
    enum class Answer { Ok, Fail, Never };

    static constexpr double kDefaultAnswerSeconds = 1;
    static inline const std::string kClassName = "SKStoreProductViewController";

    // The class as NSClassFromString finds it, and gone again.
    static void registerClass();
    static void unregisterClass();
    // A new page when the class is registered, else nil.
    static std::shared_ptr<SKStoreProductViewController> makeByName();

    // How the store answers the loads from now on.
    static void setAnswer(Answer answer, double seconds = kDefaultAnswerSeconds);
    // Every load's parameters, in order, since the last clear.
    static std::vector<Value::Dictionary> recordedLoads();
    static void clearRecordedLoads();

    // Run-time subclasses: false when subclassing fails (the test switch), else the class exists.
    static bool makeSubclass(const std::string& name, std::map<std::string, Method> methods);
    static bool subclassExists(const std::string& name);
    static void setSubclassingFails(bool fails);
    // Back to a store without subclasses that answers ok after 1 s, nothing recorded.
    static void reset();

    void setDelegate(std::weak_ptr<SKStoreProductViewControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<SKStoreProductViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void loadProductWithParametersCompletionBlock(const Value::Dictionary& parameters, Completion completion);
    // Turns this page into an instance of a subclass made before; false when there is none.
    bool setClass(const std::string& name);
    std::string className() const override;

    // The subclass's answers, or the platform's.
    bool shouldAutorotate() const override;
    bool prefersStatusBarHidden() const override;

    // What "Done" does.
    void done();
    void describeToScreen(UIScreenDescription& screen) override;
    // The page as the store draws it: its bar with "Done", the app's icon, name and price, and its
    // screenshots.
    void loadView() override;
    const std::string& itemIdentifier() const { return itemId_; }

private:
    std::weak_ptr<SKStoreProductViewControllerDelegate> delegate_;
    std::string runtimeClass_;
    std::string itemId_;
};
