#pragma once
// The ad host's shared state: the root controller and the container view its ads go into, the
// lines the screen lists (the ad delegate's calls in order, the answers of takes, the outside
// networks' journal), and the spaces the commands have named. Lines may be recorded from any
// thread; the screen reads them on the main one.

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AdHost {
public:
    static AdHost& shared();

    // The window's root controller (a plain white view) and the view the ads are shown in.
    std::shared_ptr<UIViewController> rootViewController() const;
    std::shared_ptr<UIView> container() const;
    void setViews(std::shared_ptr<UIViewController> root, std::shared_ptr<UIView> container);

    // One line of the screen's list of what happened.
    void record(std::string line);
    std::vector<std::string> records() const;
    // One line of the outside ad-network SDKs' journal; the screen lists them as "sdk: LINE".
    void recordSdk(std::string line);

    // The spaces the commands named, in the order first named: the screen shows each one's ad.
    void noteSpace(const std::string& space);
    std::vector<std::string> spaces() const;

    // The screen lines: what happened, then the ad shown per space.
    std::vector<std::string> screenLines() const;

private:
    mutable std::mutex lock_;
    std::shared_ptr<UIViewController> root_;
    std::shared_ptr<UIView> container_;
    std::vector<std::string> records_;
    std::vector<std::string> sdkLines_;
    std::vector<std::string> spaces_;
};
