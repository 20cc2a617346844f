// The page side of the loader: what every load gets injected, the template render when it ends,
// the window-load phase and the MRAID probe.

#include "sdk/adviews/VuderuAd.h"
#include "sdk/adviews/VuderuAdScripts.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cstdio>

namespace {
const char* const kCloseId = "vuderu_interstitial_close";

std::string formatFloat(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
    return buffer;
}
} // namespace

std::string VuderuAdWebViewLoader::setupLine() const {
    std::string line = frameHasContent() ? "window.Hogan=Hogan;" : "";
    line += " window.vuderuadapter=vuderuBridgeCtor(window);window.vuderuAdapterAvailable=true;"
            "if(typeof window.VuderuAdapterReady === 'function'){window.VuderuAdapterReady();} ";
    if (supportMRAID_) {
        const bool takeover = frameIsTakeover();
        const CGRect bounds = VuderuUtil::screenBounds();
        line += std::string("window.mraid=mraidCtor(window.vuderuadapter,{placementType:\"") +
                (takeover ? "interstitial" : "inline") + "\", width:" + formatFloat(float(bounds.size.width)) +
                ", height:" + formatFloat(float(bounds.size.height)) + ", isModal:" + (takeover ? "true" : "false") + "});";
    }
    return line;
}

std::string VuderuAdWebViewLoader::contentLine() const {
    auto strong = ad();
    auto unit = strong ? strong->activeAdUnit() : nullptr;
    if (unit && unit->combinable() == 1 && unit->curAdFrameIndex() == 0) {
        std::string list;
        for (const auto& each : strong->allAdUnitsList()) {
            auto f = each ? each->curAdFrame() : nullptr;
            if (!f || f->content().empty()) continue;
            list += (list.empty() ? "{\"adComponents\":[" : ",") + f->content();
        }
        // No unit with content leaves the page an empty text rather than a dangling assignment.
        return list.empty() ? "content = '';" : "content = " + list + "]}";
    }
    if (frameHasContent()) return "content = " + frame()->content();
    return "content = '';";
}

void VuderuAdWebViewLoader::webViewDidStartLoad(UIWebView&) {
    VuderuLog("webViewDidStartLoad:");
    auto strong = ad();
    auto unit = strong ? strong->activeAdUnit() : nullptr;
    if (webViewLoading_ == 0 && unit && unit->preRenderTimeoutMillis() > 0) {
        std::weak_ptr<VuderuAdWebViewLoader> weak = self<VuderuAdWebViewLoader>();
        webLoadTimeoutTimer_ = NSTimer::scheduledTimerWithTimeInterval(
            double(unit->preRenderTimeoutMillis()) / 1000.0, false, [weak](const std::shared_ptr<NSTimer>&) {
                if (auto self = weak.lock()) self->webViewTimeout();
            });
    }
    ++webViewLoading_;
    // A frame of the page starts in the page that has its scripts already: making them again would
    // drop the bridge's queued calls and call the page's VuderuAdapterReady a second time.
    if (eval("window.vuderuAdapterAvailable === true && typeof window.vuderuadapter === 'object'") != "true") {
        if (frameHasContent()) eval(std::string(VuderuAdScripts::hogan()));
        eval(std::string(VuderuAdScripts::bridge()));
        if (supportMRAID_ && VuderuNetworkUtil::hostOverride())
            eval("window.vuderuStaticContentHost = 'https://" + *VuderuNetworkUtil::hostOverride() + "';");
        if (supportMRAID_) eval(std::string(VuderuAdScripts::mraid()));
        eval(setupLine());
        eval(contentLine());
    }
    eval(fullLoadListener());
}

// The full load is heard through a load listener of the window's, not through window.onload: a page
// that sets its own onload (the commonest way a creative waits for its load), sets it twice or
// clears it keeps the listener, which runs after the page's handler and tells the native side once.
// The listener is added once a page (a frame's start finds the mark, which the page cannot change
// or remove), keeps the location it navigates with from the start, and answers one load event
// only, whatever a page dispatches itself.
std::string VuderuAdWebViewLoader::fullLoadListener() {
    return "(function(){if (window.vuderuFullLoadListening) {return;}"
           "Object.defineProperty(window, 'vuderuFullLoadListening', {value: true});"
           "window.oldOnLoad = window.onload;var place = window.location;var told = false;"
           "window.addEventListener('load', function() {if (told) {return;}told = true;"
           "place.href = 'vuderu://vuderucall?event=didCompleteFullLoad';});})();";
}

void VuderuAdWebViewLoader::webViewDidFinishLoad(UIWebView&) {
    VuderuLog("webViewDidFinishLoad:");
    if (webViewLoading_ > 0) --webViewLoading_;
    if (webViewLoading_ == 0) {
        if (webLoadTimeoutTimer_) webLoadTimeoutTimer_->invalidate();
        webLoadTimeoutTimer_ = nullptr;
        connector().isWebViewNewAdRequest(true);
    }
    if (!frameHasContent() ||
        !eval("var compiled = Hogan.compile(document.body.innerHTML);var renderedHogan = compiled.render(content);"
              "document.body.innerHTML = renderedHogan;document.body.innerHTML;")
             .empty()) {
        postHoganCompleteWebViewDidFinishLoad();
        return;
    }
    std::weak_ptr<VuderuAdWebViewLoader> weak = self<VuderuAdWebViewLoader>();
    hoganRetryTimer_ = NSTimer::scheduledTimerWithTimeInterval(1.0, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto self = weak.lock()) {
            self->hoganRetryTimer_ = nullptr;
            self->eval("document.body.innerHTML = renderedHogan;document.body.innerHTML;");
            self->postHoganCompleteWebViewDidFinishLoad();
        }
    });
}

void VuderuAdWebViewLoader::postHoganCompleteWebViewDidFinishLoad() {
    VuderuNetworkUtil::setLastNetworkOperationError(nullptr);
    eval("(function(){var metas=document.getElementsByTagName('meta');var found=false;"
         "for(var i=0;i<metas.length;i++){if(metas[i].name=='viewport'){metas[i].content='width = device-width; "
         "user-scalable = no; initial-scale = 1.0';found=true;}}"
         "if(!found){var m=document.createElement('meta');m.name='viewport';"
         "m.content='width = device-width; user-scalable = no; initial-scale = 1.0';"
         "document.getElementsByTagName('head')[0].appendChild(m);}"
         "document.body.style.padding='0px';document.body.style.margin='0px';})();");
    eval("document.body.style.webkitTouchCallout='none';");
    std::weak_ptr<VuderuAdWebViewLoader> weak = self<VuderuAdWebViewLoader>();
    mraidLoadTimeoutTimer_ = NSTimer::scheduledTimerWithTimeInterval(2.0, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto self = weak.lock()) self->finalizeWindowOnLoadCalledAction();
    });
    const Handler& done = disablePreRendering_ ? loadCachedHTMLCompletionHandler_ : adLoadCompleteHandler_;
    if (done) done();
}

void VuderuAdWebViewLoader::finalizeWindowOnLoadCalledAction() {
    stopMraidLoading();
    if (!mraidStatusChecked_) {
        setMraidStatus();
        connector().reportCurrentViewStateToAd();
    }
    mraidStatusChecked_ = true;
    if (MRAIDWindowLoadCompleteHandler_) MRAIDWindowLoadCompleteHandler_();
}

void VuderuAdWebViewLoader::setMraidStatus() {
    eval("function findMe(tag, attr, file) {var tags = document.getElementsByTagName(tag);"
         "var r = new RegExp(file + '$');for (var i = 0; i < tags.length; i++) {"
         "var v = tags[i].getAttribute(attr);if (v && r.test(v)) {return v;}}return '';}"
         "var mraidjsLoaded = findMe('script', 'src', 'mraid.js');");
    const std::string loaded = eval("mraidjsLoaded");
    if (supportMRAID_ && !loaded.empty()) {
        mraidAdLoaded_ = true;
        eval(std::string("(function() { var e = document.getElementById('") + kCloseId +
             "'); if (e) { e.style.display = 'none'; } })()");
        return;
    }
    eval("if(window.mraid && typeof window.mraid.disable === 'function'){window.mraid.disable();}");
    auto f = frame();
    if (VuderuAd::getAdType(f) != 2 || !f || f->binding() != 2) return;
    eval(std::string("(function() {if (document.getElementById('") + kCloseId +
         "')) {return;}var d = document.createElement('div');d.id = '" + kCloseId +
         "';d.innerHTML = '<a href=\"vuderu://vuderucall?event=adWillClose\"><div id=\"rtb_close\">"
         "<img src=\"http://" + contentHost() + "/adSpaceStyles.dev/images/bttn-close-bw.png\" "
         "alt=\"close advertisement\"></div></a>';document.body.appendChild(d);})()");
}
