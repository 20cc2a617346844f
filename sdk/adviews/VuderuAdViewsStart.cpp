// Linking the ad views is starting them: a host links the library, starts the facade, and the ad
// manager builds real ad-space views and the facade hands custom networks to the plugin
// manager, with no call of its own. The library's target asks every program that links it for
// the symbol below, so the linker keeps this unit and its registration runs at load time. A host
// (or a test) may still register another maker afterwards.

#include "sdk/adviews/VuderuAd.h"
#include "sdk/adviews/VuderuAdNetworkPluginManager.h"

extern "C" {
// The symbol the library's target has linked programs keep.
extern const int vuderuAdViewsStart;
const int vuderuAdViewsStart = [] {
    VuderuAd::registerAsAdViewMaker();
    VuderuAdNetworkPluginManager::registerWithAdsFacade();
    return 1;
}();
}
