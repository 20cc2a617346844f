#include "sdk/adviews/VuderuAdNetworkCustomBasePlugin.h"
#include "sdk/adviews/VuderuAdNetworkPluginManager.h"
#include "sdk/adviews/tests/PluginFixture.h"
#include "sdk/adviews/tests/TestCustomNetwork.h"

#include <atomic>
#include <thread>

namespace {

class PlainPlugin : public VuderuAdNetworkBasePlugin {};

class PluginManagerTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        VuderuAdNetworkPluginManager::registerPluginClass("VuderuAdNetworkAdMobPlugin", [] { return std::make_shared<PlainPlugin>(); });
    }
    bool plugin(const std::string& network, const std::string& space) {
        return VuderuAdNetworkPluginManager::getPluginForSpace(network, space) != nullptr;
    }
};

TEST_F(PluginManagerTest, EachNetworkAndSpaceIsAskedAtMostOnceInTwoSeconds) {
    struct Step {
        double at;  // seconds after the first request
        const char* network;
        const char* space;
        bool answers;
    };
    const Step steps[] = {
        {0, "AdMob", "top", true},
        {1, "admob", "top", false},   // within the window; the refusal does not move it
        {1, "admob", "bottom", true}, // another space has a window of its own
        {2.5, "ADMOB", "top", true},
        {2.5, "nosuch", "top", false},
        {3, "nosuch", "top", false},  // refused by the window, not the name
    };
    double elapsed = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.network) + "/" + step.space + " at " + std::to_string(step.at));
        clock_->advance(step.at - elapsed);
        elapsed = step.at;
        log_->clear();
        EXPECT_EQ(plugin(step.network, step.space), step.answers);
    }
    EXPECT_TRUE(logged("Ad from nosuch not available"));
    EXPECT_FALSE(logged("VuderuZidUvov getPlugin not found: nosuch"));
}

TEST_F(PluginManagerTest, LookupsTellWhyNoPluginCame) {
    struct Case {
        const char* network;
        const char* line;
    };
    const Case cases[] = {
        {"AdMob", "VuderuZidUvov: getPlugin: admob"},
        {"admob", "Ad from admob not available"},
        {"NoSuch", "VuderuZidUvov getPlugin not found: nosuch"},
        {"dazazorur", "AdNetwork error: Include dazazorur SDK in your project to use the ad network"},
    };
    for (const Case& c : cases) {
        log_->clear();
        VuderuAdNetworkPluginManager::getPluginForSpace(c.network, "space");
        EXPECT_TRUE(logged(c.line)) << c.network;
    }
}

TEST_F(PluginManagerTest, EveryRequestGetsItsOwnPlugin) {
    auto first = VuderuAdNetworkPluginManager::getPluginForSpace("admob", "a");
    auto second = VuderuAdNetworkPluginManager::getPluginForSpace("admob", "b");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_TRUE(logged("looking for classname VuderuAdNetworkAdMobPlugin"));
}

TEST_F(PluginManagerTest, AHostNetworkReplacesABuiltInOneOrIsAppended) {
    TestCustomNetwork::registerClass("HostInMobi");
    auto properties = std::make_shared<TestProperties>();
    auto builtIn = VuderuAdNetworkPluginManager::networkNames();

    VuderuAdNetworkPluginManager::addCustomPluginWithProperties(NSClassFromString("HostInMobi"), properties);
    EXPECT_TRUE(logged("VuderuZidUvov: addCustomPlugin: InMobi"));
    EXPECT_TRUE(logged("An Ad Network with this name[inmobi] has already been added and will be replaced by this custom implementation."));
    EXPECT_EQ(VuderuAdNetworkPluginManager::networkNames(), builtIn);
    EXPECT_EQ(VuderuAdNetworkPluginManager::pluginClassNames().size(), builtIn.size());
    auto plugin = VuderuAdNetworkPluginManager::getPluginForSpace("InMobi", "space");
    EXPECT_TRUE(std::dynamic_pointer_cast<VuderuAdNetworkCustomBasePlugin>(plugin));

    testNetwork().name = "Zeta";
    VuderuAdNetworkPluginManager::addCustomPluginWithProperties(NSClassFromString("HostInMobi"), properties);
    auto names = VuderuAdNetworkPluginManager::networkNames();
    ASSERT_EQ(names.size(), builtIn.size() + 1);
    EXPECT_EQ(names.back(), "zeta");
    EXPECT_EQ(VuderuAdNetworkPluginManager::pluginClassNames().back(), "zeta");
    EXPECT_TRUE(std::dynamic_pointer_cast<VuderuAdNetworkCustomBasePlugin>(VuderuAdNetworkPluginManager::getPluginForSpace("ZETA", "s")));
}

TEST_F(PluginManagerTest, RefusedRegistrationsLeaveTheTablesAlone) {
    TestCustomNetwork::registerClass("Conforming");
    TestCustomNetwork::registerClass("NotConforming", false);
    auto properties = std::make_shared<TestProperties>();
    auto before = VuderuAdNetworkPluginManager::networkNames();
    struct Case {
        const char* className;
        std::shared_ptr<NSObject> properties;
        std::optional<std::string> name;
        bool makesInstance;
        const char* line;
    };
    const Case cases[] = {
        {"Conforming", nullptr, "Zeta", true, "Custom Ad Network and Ad Network properties must be supplied."},
        {"Missing", properties, "Zeta", true, "Custom Ad Network and Ad Network properties must be supplied."},
        {"NotConforming", properties, "Zeta", true, "Network class [NotConforming] do not conform to VuderuCustomAdNetwork protocol."},
        {"Conforming", properties, "Zeta", false, "AdNetwork error: Include SDK for plugin Conforming in your project to use the ad network"},
        {"Conforming", properties, std::nullopt, true,
         "VuderuAds: Ad Network name must be specified to add a custom ad network. Can not add custom plugin."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        log_->clear();
        testNetwork().name = c.name;
        testNetwork().makesInstance = c.makesInstance;
        VuderuAdNetworkPluginManager::addCustomPluginWithProperties(NSClassFromString(c.className), c.properties);
        EXPECT_TRUE(logged(c.line));
        EXPECT_EQ(VuderuAdNetworkPluginManager::networkNames(), before);
    }
}

// Linking the ad views registered the manager with the facade: no call of the host's is needed.
TEST_F(PluginManagerTest, TheFacadeHandsCustomNetworksToTheManager) {
    TestCustomNetwork::registerClass("HostZeta");
    testNetwork().name = "Zeta";
    VuderuAds::addCustomAdNetworkWithProperties("HostZeta", std::make_shared<TestProperties>());
    EXPECT_EQ(VuderuAdNetworkPluginManager::networkNames().back(), "zeta");
    VuderuAds::addCustomAdNetworkWithProperties("NoSuchClass", std::make_shared<TestProperties>());
    EXPECT_TRUE(logged("Custom ad network is nil. Network will not be added."));
}

TEST_F(PluginManagerTest, AnInstanceThatCannotBeMadeAtRequestTimeGivesNoPlugin) {
    TestCustomNetwork::registerClass("HostAdMob");
    testNetwork().name = "AdMob";
    VuderuAdNetworkPluginManager::addCustomPluginWithProperties(NSClassFromString("HostAdMob"), std::make_shared<TestProperties>());
    testNetwork().makesInstance = false;
    EXPECT_FALSE(plugin("admob", "space"));
    EXPECT_TRUE(logged("VuderuAds: Could not instantiate custom plugin."));
}

// Registration comes from any thread while the main thread looks plugins up.
TEST_F(PluginManagerTest, RegistrationsOnAWorkerRaceNoLookup) {
    TestCustomNetwork::registerClass("HostNetwork");
    auto properties = std::make_shared<TestProperties>();
    testNetwork().name = "Host";
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) VuderuAdNetworkPluginManager::addCustomPluginWithProperties(NSClassFromString("HostNetwork"), properties);
        done = true;
    });
    int lookups = 0;
    while (!done || lookups < 50) {
        VuderuAdNetworkPluginManager::getPluginForSpace("host", "space" + std::to_string(lookups));
        VuderuAdNetworkPluginManager::getPluginForSpace("admob", "space" + std::to_string(lookups));
        ++lookups;
    }
    worker.join();
    EXPECT_EQ(VuderuAdNetworkPluginManager::networkNames().back(), "host");
    EXPECT_EQ(VuderuAdNetworkPluginManager::networkNames().size(), VuderuAdNetworkPluginManager::pluginClassNames().size());
}

} // namespace
