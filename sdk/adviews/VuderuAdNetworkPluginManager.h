#pragma once
// Which plugin serves a frame of the ad-network binding. The manager knows each network by its
// lower-case name and the class name of its plugin; plugins are made by class name from a
// registry of factories (a name without one makes no plugin). Each network and space may be
// asked at most once in 2 seconds, and a network the host registers replaces a built-in one of
// the same name.
//
// Registration may come from any thread through the ads facade while the main thread looks
// plugins up: every table is read and changed under the class's lock, and the host's code (its
// network class) runs outside it.

#include "platform/foundation/NSObjCRuntime.h"
#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class VuderuAdNetworkPluginManager : public NSObject {
public:
    using PluginFactory = std::function<VuderuAdNetworkBasePluginPtr()>;

    // Seconds between two accepted requests for one network and space.
    static double minTimeBetweenAdRequests() { return 2.0; }
    static void initNetworks();
    // A new plugin for the network and space, or nil.
    static VuderuAdNetworkBasePluginPtr getPluginForSpace(const std::string& network, const std::string& space);
    // The host's network class with its properties (a VuderuCustomAdNetworkProperties).
    static void addCustomPluginWithProperties(const Class& networkClass, const std::shared_ptr<NSObject>& properties);

    // The factory that makes plugins of the class name; nil removes it.
    static void registerPluginClass(const std::string& className, PluginFactory factory);
    // Routes +[VuderuAds addCustomAdNetwork:withProperties:] here.
    static void registerWithAdsFacade();

    // Forgets everything the tables learnt: the host's networks, the registered factories and the
    // times of the last requests; the next use starts again from the built-in networks.
    static void cleanup();

    // The tables as they stand: network names and plugin class names, index for index.
    static std::vector<std::string> networkNames();
    static std::vector<std::string> pluginClassNames();
};
