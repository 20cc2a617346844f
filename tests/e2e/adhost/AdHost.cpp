#include "tests/e2e/adhost/AdHost.h"

#include "sdk/ads/VuderuAdManager.h"

#include <algorithm>

AdHost& AdHost::shared() {
    static AdHost host;
    return host;
}

std::shared_ptr<UIViewController> AdHost::rootViewController() const {
    std::lock_guard guard(lock_);
    return root_;
}

std::shared_ptr<UIView> AdHost::container() const {
    std::lock_guard guard(lock_);
    return container_;
}

void AdHost::setViews(std::shared_ptr<UIViewController> root, std::shared_ptr<UIView> container) {
    std::lock_guard guard(lock_);
    root_ = std::move(root);
    container_ = std::move(container);
}

void AdHost::record(std::string line) {
    std::lock_guard guard(lock_);
    records_.push_back(std::move(line));
}

void AdHost::recordSdk(std::string line) {
    std::lock_guard guard(lock_);
    sdkLines_.push_back(std::move(line));
}

std::vector<std::string> AdHost::records() const {
    std::lock_guard guard(lock_);
    return records_;
}

void AdHost::noteSpace(const std::string& space) {
    std::lock_guard guard(lock_);
    if (std::find(spaces_.begin(), spaces_.end(), space) == spaces_.end()) spaces_.push_back(space);
}

std::vector<std::string> AdHost::spaces() const {
    std::lock_guard guard(lock_);
    return spaces_;
}

std::vector<std::string> AdHost::screenLines() const {
    std::vector<std::string> lines;
    for (auto& line : records()) lines.push_back("ads: " + line);
    {
        std::lock_guard guard(lock_);
        for (auto& line : sdkLines_) lines.push_back("sdk: " + line);
    }
    auto manager = VuderuAdManager::instance();
    for (auto& space : spaces()) {
        auto ad = manager->adForSpace(space);
        auto frame = ad ? ad->adFrame() : nullptr;
        std::string shown = !ad ? "none" : !frame ? "an ad without a frame"
                                                  : "binding " + std::to_string(frame->binding()) + " guid " + frame->adLogGUID();
        lines.push_back("ad in " + space + ": " + shown);
    }
    return lines;
}
