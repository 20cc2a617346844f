// The outside ad-network SDKs in the ad host: their stand-ins (left out with --no-networks, as in
// the shipped app), the `sdk` command that sets their outcomes and fires their callbacks, their
// journal on the screen, `ads key NAME VALUE|none` (what the host's delegate answers for a
// network's key), and `ads custom NAME`, a network of the host's own registered through the ads
// facade.

#include "tests/e2e/adhost/AdHost.h"
#include "tests/e2e/adhost/AdHostCommands.h"
#include "tests/e2e/adhost/AdHostDelegate.h"

#include "platform/device/Driver.h"
#include "sdk/adviews/testsupport/AdNetworkStandIns.h"
#include "sdk/adviews/testsupport/StandInCustomNetwork.h"
#include "sdk/ads/VuderuAds.h"

#include <algorithm>

namespace AdHostCommands {

namespace {

bool custom(const Words& words, UIScreenReply& reply) {
    const std::string& name = words[0];
    if (name.empty()) return reply.refuse("ads custom needs a network name");
    const std::string className = "AdHostCustomNetwork" + name;
    StandInCustomNetwork::registerClass(className, name);
    VuderuAds::addCustomAdNetworkWithProperties(className, StandInCustomNetwork::makeProperties());
    reply.said = "custom network " + name + " registered as " + className;
    return true;
}

bool key(const Words& words, UIScreenReply& reply) {
    const auto& names = AdHostDelegate::networkKeyNames();
    if (std::find(names.begin(), names.end(), words[0]) == names.end()) return reply.refuse("no such network key: " + words[0]);
    AdHostDelegate::setKey(words[0], words[1] == "none" ? std::nullopt : std::optional<std::string>(words[1]));
    return true;
}

} // namespace

void registerNetworkSubcommands() {
    addAdsSubcommand({"key", "NAME VALUE|none", "set what the host's delegate answers for an outside network's key", 2, 2, key});
    addAdsSubcommand({"custom", "NAME", "register a network of the host's own under the name through the ads facade", 1, 1, custom});
    Driver::addHostCommand("sdk", "NETWORK ok [SECONDS]|fail [CODE]|never|refuse|CALLBACK [APID], or custom REPORT",
                           "set how an outside ad network's stand-in answers, or fire one of its callbacks",
                           [](Driver&, const std::string& argument, UIScreenReply& reply) {
                               std::string said;
                               if (!AdNetworkStandIns::command(argument, &said)) return reply.refuse(said);
                               reply.said = said;
                               return true;
                           });
}

void startNetworkStandIns(bool registerStandIns) {
    if (registerStandIns) AdNetworkStandIns::registerAll();
    AdNetworkStandIns::setJournalListener([](const std::string& line) { AdHost::shared().recordSdk(line); });
}

} // namespace AdHostCommands
