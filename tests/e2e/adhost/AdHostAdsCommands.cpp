// The built-in rows of the `ads` table: the facade's calls with the host's container view.

#include "tests/e2e/adhost/AdHost.h"
#include "tests/e2e/adhost/AdHostCommands.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/Sanitizers.h"
#include "sdk/ads/IVuderuEventControllerHandler.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuEventController.h"
#include "sdk/analytics/Vuderu.h"

#include <fstream>
#include <sstream>
#include <thread>

namespace AdHostCommands {

namespace {

std::string spaceName(const VuderuAds::Space& space) { return space ? (space->empty() ? "\"\"" : *space) : "nil"; }

// The optional SIZE word (a test ad placement code); 0 without one.
std::optional<std::int32_t> sizeWord(const Words& words, std::size_t at) { return words.size() > at ? int32(words[at]) : 0; }

bool fetch(const Words& words, UIScreenReply& reply) {
    auto size = sizeWord(words, 1);
    if (!size) return reply.refuse("the size is a whole number: " + words[1]);
    auto container = AdHost::shared().container();
    VuderuAds::fetchAdForSpaceFrameSize(spaceWord(words[0]), container->frame(), *size);
    return true;
}

bool fetchDisplay(const Words& words, UIScreenReply& reply) {
    auto size = sizeWord(words, 1);
    if (!size) return reply.refuse("the size is a whole number: " + words[1]);
    VuderuAds::fetchAndDisplayAdForSpaceViewSize(spaceWord(words[0]), AdHost::shared().container(), *size);
    return true;
}

// The take runs on a worker thread, as the facade's waiting calls are meant to; its answer is
// recorded when it comes.
bool show(const Words& words, UIScreenReply& reply) {
    auto timeout = int64(words[1]);
    if (!timeout) return reply.refuse("the time-out is a whole number of milliseconds: " + words[1]);
    auto size = sizeWord(words, 2);
    if (!size) return reply.refuse("the size is a whole number: " + words[2]);
    auto space = spaceWord(words[0]);
    auto container = AdHost::shared().container();
    std::string asked = "show " + spaceName(space) + " " + words[1];
    std::thread([space, container, size = *size, timeout = *timeout, asked] {
        bool shown = VuderuAds::showAdForSpaceViewSizeTimeout(space, container, size, timeout);
        AdHost::shared().record(asked + ": " + (shown ? "YES" : "NO"));
    }).detach();
    reply.said = asked + ": asked";
    return true;
}

bool display(const Words& words, UIScreenReply&) {
    VuderuAds::displayAdForSpaceOnView(spaceWord(words[0]), AdHost::shared().container());
    return true;
}

bool remove(const Words& words, UIScreenReply&) {
    VuderuAds::removeAdFromSpace(spaceWord(words[0]));
    return true;
}

// The event runs through the event controller against the space's shown ad, one action per call
// until the controller answers NO.
bool event(const Words& words, UIScreenReply& reply) {
    auto space = spaceWord(words[0]);
    auto ad = space ? VuderuAdManager::instance()->adForSpace(*space) : nullptr;
    auto handler = std::dynamic_pointer_cast<IVuderuEventControllerHandler>(ad);
    if (!handler) return reply.refuse("no ad shown in space " + spaceName(space));
    auto controller = std::make_shared<VuderuEventController>();
    std::int32_t resultAction = 0;
    Value::Dictionary params;
    int actions = 0;
    while (controller->processEventForEventHandlerCurrentFrameWithResultActionParams(words[1], handler, handler->adFrame(), &resultAction,
                                                                                    params))
        ++actions;
    AdHost::shared().record("event " + *space + " " + words[1] + ": " + std::to_string(actions) + " actions");
    return true;
}

// K=V pairs set the keywords; `clear` clears them.
bool keywords(const Words& words, UIScreenReply& reply) {
    if (words.size() == 1 && words[0] == "clear") {
        VuderuAds::clearKeywords();
        return true;
    }
    VuderuAds::Dictionary pairs;
    for (auto& word : words) {
        auto equals = word.find('=');
        if (equals == std::string::npos || equals == 0) return reply.refuse("a keyword is KEY=VALUE: " + word);
        pairs[word.substr(0, equals)] = word.substr(equals + 1);
    }
    VuderuAds::setKeywordsForTargeting(pairs);
    return true;
}

bool logLevel(const Words& words, UIScreenReply& reply) {
    auto level = int32(words[0]);
    if (!level || *level < 0) return reply.refuse("the log level is a whole number from 0: " + words[0]);
    Vuderu::setLogLevel(*level);
    return true;
}

// The process's resident memory now and at its peak, in kilobytes, as the kernel counts them.
bool memory(const Words&, UIScreenReply& reply) {
    std::ifstream status("/proc/self/status");
    std::string line, now = "?", peak = "?";
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string name, value;
        fields >> name >> value;
        if (name == "VmRSS:") now = value;
        if (name == "VmHWM:") peak = value;
    }
    reply.said = "memory: " + now + " KB, peak " + peak + " KB";
#if TANDREL_ADDRESS_SANITIZER || TANDREL_THREAD_SANITIZER
    // A sanitizer's shadow memory and quarantine count too: such figures bound nothing.
    reply.said += " (sanitized)";
#endif
    return true;
}

} // namespace

void registerBuiltInSubcommands() {
    constexpr std::size_t kMany = 64;
    addAdsSubcommand({"help", "", "this list", 0, 0, [](const Words&, UIScreenReply& reply) {
                          reply.said = adsHelp();
                          return true;
                      }});
    addAdsSubcommand({"fetch", "SPACE [SIZE]", "fetch an ad for the space, the container's frame", 1, 2, fetch});
    addAdsSubcommand({"show", "SPACE TIMEOUT [SIZE]", "take and show an ad within TIMEOUT ms, from a worker thread", 2, 3, show});
    addAdsSubcommand({"display", "SPACE", "display the space's fetched ad in the container", 1, 1, display});
    addAdsSubcommand({"fetchdisplay", "SPACE [SIZE]", "fetch an ad and display it in the container", 1, 2, fetchDisplay});
    addAdsSubcommand({"remove", "SPACE", "remove the space's ad", 1, 1, remove});
    addAdsSubcommand({"event", "SPACE EVENT", "raise an ad event on the space's shown ad and run its actions", 2, 2, event});
    addAdsSubcommand({"loglevel", "N", "the SDK's log level (diagnostics at 2 and above, on standard error)", 1, 1, logLevel});
    addAdsSubcommand({"memory", "", "the host's resident memory now and at its peak", 0, 0, memory});
    addAdsSubcommand({"keywords", "K=V...|clear", "set the targeting keywords, or clear them", 1, kMany, keywords});
}

} // namespace AdHostCommands
