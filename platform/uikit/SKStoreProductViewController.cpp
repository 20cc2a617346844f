#include "platform/uikit/SKStoreProductViewController.h"

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIScreenDescription.h"

#include <mutex>

namespace {
struct Store {
    std::mutex lock;
    SKStoreProductViewController::Answer answer = SKStoreProductViewController::Answer::Ok;
    double seconds = SKStoreProductViewController::kDefaultAnswerSeconds;
    std::vector<Value::Dictionary> loads;
    std::map<std::string, std::map<std::string, SKStoreProductViewController::Method>> subclasses;
    bool subclassingFails = false;
};
Store& store() {
    static Store s;
    return s;
}

// The class object run-time lookups find.
class StorePageClass : public NSObject, public NSDynamicMessaging {
public:
    bool respondsToSelector(std::string_view selector) const override { return selector == "new"; }
    Value performSelector(std::string_view selector) override {
        return selector == "new" ? Value(std::make_shared<SKStoreProductViewController>()) : Value();
    }
};

constexpr long kStoreError = 1;
} // namespace

void SKStoreProductViewController::registerClass() { NSRegisterClass(kClassName, std::make_shared<StorePageClass>()); }
void SKStoreProductViewController::unregisterClass() { NSUnregisterClass(kClassName); }

std::shared_ptr<SKStoreProductViewController> SKStoreProductViewController::makeByName() {
    auto classObject = NSClassFromString(kClassName);
    if (!NSObjectRespondsToSelector(classObject, "new")) return nullptr;
    return NSObjectPerformSelector(classObject, "new").objectAs<SKStoreProductViewController>();
}

void SKStoreProductViewController::setAnswer(Answer answer, double seconds) {
    std::lock_guard guard(store().lock);
    store().answer = answer;
    store().seconds = seconds;
}

std::vector<Value::Dictionary> SKStoreProductViewController::recordedLoads() {
    std::lock_guard guard(store().lock);
    return store().loads;
}

void SKStoreProductViewController::clearRecordedLoads() {
    std::lock_guard guard(store().lock);
    store().loads.clear();
}

bool SKStoreProductViewController::makeSubclass(const std::string& name, std::map<std::string, Method> methods) {
    std::lock_guard guard(store().lock);
    if (store().subclassingFails) return false;
    store().subclasses[name] = std::move(methods);
    return true;
}

bool SKStoreProductViewController::subclassExists(const std::string& name) {
    std::lock_guard guard(store().lock);
    return store().subclasses.count(name) > 0;
}

void SKStoreProductViewController::setSubclassingFails(bool fails) {
    std::lock_guard guard(store().lock);
    store().subclassingFails = fails;
}

void SKStoreProductViewController::reset() {
    std::lock_guard guard(store().lock);
    store().answer = Answer::Ok;
    store().seconds = kDefaultAnswerSeconds;
    store().loads.clear();
    store().subclasses.clear();
    store().subclassingFails = false;
}

bool SKStoreProductViewController::setClass(const std::string& name) {
    if (!subclassExists(name)) return false;
    runtimeClass_ = name;
    return true;
}

std::string SKStoreProductViewController::className() const { return runtimeClass_.empty() ? kClassName : runtimeClass_; }

bool SKStoreProductViewController::shouldAutorotate() const {
    std::lock_guard guard(store().lock);
    auto found = store().subclasses.find(runtimeClass_);
    if (found == store().subclasses.end() || !found->second.count("shouldAutorotate")) return true;
    auto method = found->second.at("shouldAutorotate");
    return method();
}

bool SKStoreProductViewController::prefersStatusBarHidden() const {
    std::lock_guard guard(store().lock);
    auto found = store().subclasses.find(runtimeClass_);
    if (found == store().subclasses.end() || !found->second.count("prefersStatusBarHidden")) return false;
    auto method = found->second.at("prefersStatusBarHidden");
    return method();
}

void SKStoreProductViewController::loadProductWithParametersCompletionBlock(const Value::Dictionary& parameters, Completion completion) {
    Answer answer;
    double seconds;
    {
        std::lock_guard guard(store().lock);
        store().loads.push_back(parameters);
        answer = store().answer;
        seconds = store().seconds;
    }
    if (answer == Answer::Never || !completion) return;
    auto found = parameters.find(SKStoreProductParameterITunesItemIdentifier);
    const std::string item = found == parameters.end() ? std::string() : found->second.stringValue();
    std::weak_ptr<SKStoreProductViewController> weak = self<SKStoreProductViewController>();
    NSRunLoop::mainRunLoop()->performAfterDelay(seconds, [weak, answer, item, completion] {
        auto page = weak.lock();
        if (page && answer == Answer::Ok) page->itemId_ = item;
        if (answer == Answer::Ok) return completion(true, nullptr);
        completion(false, NSError::errorWithDomain("SKErrorDomain", kStoreError,
                                                   {{NSLocalizedDescriptionKey, Value("Cannot connect to iTunes Store")}}));
    });
}

void SKStoreProductViewController::done() {
    auto keep = self<SKStoreProductViewController>();
    if (auto d = delegate()) d->productViewControllerDidFinish(keep);
}

void SKStoreProductViewController::describeToScreen(UIScreenDescription& screen) {
    UIViewController::describeToScreen(screen);
    screen.addLine("store: id " + itemId_);
    std::weak_ptr<SKStoreProductViewController> weak = self<SKStoreProductViewController>();
    screen.addTappable("Done", [weak](UIScreenReply& reply) {
        auto page = weak.lock();
        if (!page) return reply.refuse("the store page is gone");
        page->done();
        return true;
    });
}
