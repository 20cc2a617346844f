#include "sdk/adviews/VuderuAdNetworkPluginManager.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/SharedInstance.h"
#include "sdk/adviews/VuderuAdNetworkAdMobPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCustomBasePlugin.h"
#include "sdk/adviews/VuderuAdNetworkGreystripePlugin.h"
#include "sdk/adviews/VuderuAdNetworkIAdPlugin.h"
#include "sdk/adviews/VuderuAdNetworkInMobiPlugin.h"
#include "sdk/adviews/VuderuAdNetworkJumptapPlugin.h"
#include "sdk/adviews/VuderuAdNetworkMillennialPlugin.h"
#include "sdk/adviews/VuderuAdNetworkMobclixPlugin.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuLog.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

namespace {

struct BuiltInNetwork {
    const char* name;
    const char* pluginClassName;
};
// The networks the SDK knows of. No class of the first exists: it never yields a plugin.
constexpr BuiltInNetwork kBuiltInNetworks[] = {
    {"dazazorur", "VuderuAdNetworkDazAzorurPlugin"},   {"iad", "VuderuAdNetworkIAdPlugin"},
    {"millennial media", "VuderuAdNetworkMillennialPlugin"}, {"inmobi", "VuderuAdNetworkInMobiPlugin"},
    {"admob", "VuderuAdNetworkAdMobPlugin"},           {"mobclix", "VuderuAdNetworkMobclixPlugin"},
    {"jumptap", "VuderuAdNetworkJumptapPlugin"},       {"greystripe", "VuderuAdNetworkGreystripePlugin"},
};

struct CustomNetwork {
    Class networkClass;
    std::shared_ptr<VuderuCustomAdNetworkProperties> properties;
};

struct Tables {
    std::mutex lock;
    bool created = false;
    std::vector<std::string> networkNames;
    std::map<std::string, double> lastRequestTimes;
    std::vector<std::string> pluginClassNames;
    std::map<std::string, Class> customNetworks;
    std::map<std::string, std::shared_ptr<VuderuCustomAdNetworkProperties>> customNetworkProperties;
    std::map<std::string, VuderuAdNetworkPluginManager::PluginFactory> factories;
};

std::shared_ptr<Tables> tables() {
    return SharedInstance<Tables>::slot().getOrMake([] { return std::make_shared<Tables>(); });
}

template <class Plugin>
VuderuAdNetworkBasePluginPtr makePlugin() {
    return std::make_shared<Plugin>();
}

// The plugin classes the system carries.
const std::map<std::string, VuderuAdNetworkPluginManager::PluginFactory>& builtInFactories() {
    static const std::map<std::string, VuderuAdNetworkPluginManager::PluginFactory> factories = {
        {"VuderuAdNetworkAdMobPlugin", &makePlugin<VuderuAdNetworkAdMobPlugin>},
        {"VuderuAdNetworkInMobiPlugin", &makePlugin<VuderuAdNetworkInMobiPlugin>},
        {"VuderuAdNetworkIAdPlugin", &makePlugin<VuderuAdNetworkIAdPlugin>},
        {"VuderuAdNetworkMobclixPlugin", &makePlugin<VuderuAdNetworkMobclixPlugin>},
        {"VuderuAdNetworkJumptapPlugin", &makePlugin<VuderuAdNetworkJumptapPlugin>},
        {"VuderuAdNetworkGreystripePlugin", &makePlugin<VuderuAdNetworkGreystripePlugin>},
        {"VuderuAdNetworkMillennialPlugin", [] { return VuderuAdNetworkBasePluginPtr(VuderuAdNetworkMillennialPlugin::create()); }},
    };
    return factories;
}

void createLocked(Tables& t) {
    if (t.created) return;
    t.created = true;
    for (const auto& [className, factory] : builtInFactories()) t.factories.emplace(className, factory);
    for (const auto& network : kBuiltInNetworks) {
        t.networkNames.emplace_back(network.name);
        t.pluginClassNames.emplace_back(network.pluginClassName);
    }
}

// What a lookup found, taken out of the tables so that plugins are made outside the lock.
struct Choice {
    std::optional<CustomNetwork> custom;
    std::string className;
    VuderuAdNetworkPluginManager::PluginFactory factory;
};

// Steps 3-6 of a lookup under the lock: the throttle, then the name.
std::optional<Choice> chooseLocked(Tables& t, const std::string& network, const std::string& space) {
    std::string key = NSString::stringWithFormat("%@_%@", network, space);
    double now = PlatformClock::now();
    auto last = t.lastRequestTimes.find(key);
    if (last != t.lastRequestTimes.end() && now - last->second < VuderuAdNetworkPluginManager::minTimeBetweenAdRequests()) {
        VuderuLog("Ad from %@ not available", network);
        return std::nullopt;
    }
    // Stored before the name is looked up: an unknown name starts its window too.
    t.lastRequestTimes[key] = now;
    auto at = std::find(t.networkNames.begin(), t.networkNames.end(), network);
    if (at == t.networkNames.end()) {
        VuderuLog("VuderuZidUvov getPlugin not found: %@", network);
        return std::nullopt;
    }
    Choice choice;
    auto custom = t.customNetworks.find(network);
    if (custom != t.customNetworks.end()) {
        choice.custom = CustomNetwork{custom->second, t.customNetworkProperties[network]};
        return choice;
    }
    choice.className = t.pluginClassNames[static_cast<std::size_t>(at - t.networkNames.begin())];
    auto factory = t.factories.find(choice.className);
    if (factory != t.factories.end()) choice.factory = factory->second;
    return choice;
}

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

void VuderuAdNetworkPluginManager::initNetworks() {
    auto t = tables();
    std::lock_guard guard(t->lock);
    createLocked(*t);
}

void VuderuAdNetworkPluginManager::cleanup() { SharedInstance<Tables>::slot().take(); }

VuderuAdNetworkBasePluginPtr VuderuAdNetworkPluginManager::getPluginForSpace(const std::string& name, const std::string& space) {
    std::string network = lowercase(name);
    VuderuLog("VuderuZidUvov: getPlugin: %@", network);
    std::optional<Choice> choice;
    {
        auto t = tables();
        std::lock_guard guard(t->lock);
        createLocked(*t);
        choice = chooseLocked(*t, network, space);
    }
    if (!choice) return nullptr;
    if (choice->custom) {
        auto plugin = VuderuAdNetworkCustomBasePlugin::initAdNetworkWithProperties(choice->custom->networkClass, choice->custom->properties);
        if (!plugin) VuderuLog("VuderuAds: Could not instantiate custom plugin.");
        return plugin;
    }
    VuderuLog("looking for classname %@", choice->className);
    VuderuAdNetworkBasePluginPtr plugin = choice->factory ? choice->factory() : nullptr;
    if (!plugin) {
        VuderuLog("AdNetwork error: Include %@ SDK in your project to use the ad network", network);
        return nullptr;
    }
    VuderuLog("instance %@", plugin->description());
    return plugin;
}

void VuderuAdNetworkPluginManager::addCustomPluginWithProperties(const Class& networkClass, const std::shared_ptr<NSObject>& properties) {
    auto networkProperties = std::dynamic_pointer_cast<VuderuCustomAdNetworkProperties>(properties);
    if (!networkClass || !networkProperties) {
        VuderuLog("Custom Ad Network and Ad Network properties must be supplied.");
        return;
    }
    initNetworks();
    // A trial plugin checks the class and tells its name; it is dropped afterwards.
    auto trial = VuderuAdNetworkCustomBasePlugin::initAdNetworkWithProperties(networkClass, networkProperties);
    if (!trial) {
        VuderuLog("VuderuAds: Could not add custom plugin.");
        return;
    }
    auto name = trial->adNetwork()->adNetworkName();
    if (!name) {
        VuderuLog("VuderuAds: Ad Network name must be specified to add a custom ad network. Can not add custom plugin.");
        return;
    }
    VuderuLog("VuderuZidUvov: addCustomPlugin: %@", *name);
    std::string network = lowercase(*name);
    auto shared = tables();
    std::lock_guard guard(shared->lock);
    Tables& t = *shared;
    createLocked(t);
    if (std::find(t.networkNames.begin(), t.networkNames.end(), network) == t.networkNames.end()) {
        t.networkNames.push_back(network);
        t.pluginClassNames.push_back(network);
    } else {
        VuderuLog("An Ad Network with this name[%@] has already been added and will be replaced by this custom implementation. Please "
                  "verify integration to ensure you intend to override implementation of this network.",
                  network);
    }
    t.customNetworks[network] = networkClass;
    t.customNetworkProperties[network] = networkProperties;
}

void VuderuAdNetworkPluginManager::registerPluginClass(const std::string& className, PluginFactory factory) {
    auto t = tables();
    std::lock_guard guard(t->lock);
    createLocked(*t);
    if (factory) {
        t->factories[className] = std::move(factory);
    } else {
        t->factories.erase(className);
    }
}

void VuderuAdNetworkPluginManager::registerWithAdsFacade() {
    VuderuAds::setCustomAdNetworkHandler(&VuderuAdNetworkPluginManager::addCustomPluginWithProperties);
}

std::vector<std::string> VuderuAdNetworkPluginManager::networkNames() {
    auto t = tables();
    std::lock_guard guard(t->lock);
    createLocked(*t);
    return t->networkNames;
}

std::vector<std::string> VuderuAdNetworkPluginManager::pluginClassNames() {
    auto t = tables();
    std::lock_guard guard(t->lock);
    createLocked(*t);
    return t->pluginClassNames;
}
