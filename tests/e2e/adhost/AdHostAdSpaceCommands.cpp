// The ads rows for the ad-space view's roads: showing a space's ad modally over the root
// controller, and covering the root with a plain controller (and taking it away) so that the
// shown ads see themselves hidden and seen again.

#include "tests/e2e/adhost/AdHost.h"
#include "tests/e2e/adhost/AdHostCommands.h"

#include "platform/uikit/UIColor.h"
#include "sdk/ads/VuderuAds.h"

namespace AdHostCommands {

namespace {

// The controller `ads cover` put over the root, while it is there.
std::shared_ptr<UIViewController>& cover() {
    static std::shared_ptr<UIViewController> presented;
    return presented;
}

bool modal(const Words& words, UIScreenReply& reply) {
    auto space = spaceWord(words[0]);
    if (!space || space->empty()) return reply.refuse("ads modal needs a space name");
    VuderuAds::displayAdForSpaceModallyForViewController(space, AdHost::shared().rootViewController());
    return true;
}

bool coverRoot(const Words&, UIScreenReply& reply) {
    auto root = AdHost::shared().rootViewController();
    if (cover()) return reply.refuse("the root is covered already");
    if (root->presentedViewController()) return reply.refuse("the root presents a controller already");
    auto controller = std::make_shared<UIViewController>();
    controller->view()->setBackgroundColor(UIColor::lightGrayColor());
    root->presentViewControllerAnimatedCompletion(controller, false, nullptr);
    cover() = controller;
    return true;
}

bool uncoverRoot(const Words&, UIScreenReply& reply) {
    auto controller = cover();
    if (!controller) return reply.refuse("nothing covers the root");
    controller->dismissViewControllerAnimatedCompletion(false, nullptr);
    cover() = nullptr;
    return true;
}

} // namespace

void registerAdSpaceSubcommands() {
    addAdsSubcommand({"modal", "SPACE", "display the space's fetched ad modally over the root controller", 1, 1, modal});
    addAdsSubcommand({"cover", "", "present a plain controller over the root", 0, 0, coverRoot});
    addAdsSubcommand({"uncover", "", "dismiss the controller `ads cover` presented", 0, 0, uncoverRoot});
}

} // namespace AdHostCommands
