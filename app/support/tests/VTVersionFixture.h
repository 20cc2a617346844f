#pragma once
// A main bundle of a chosen version and a loopback version service whose replies the test lists.

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

struct VTServiceReply {
    int status = 200;
    std::string body;
};

class VTVersionServiceTest : public DeviceTest {
protected:
    void TearDown() override {
        DeviceRoot::mount(NSBundleMainBundlePath, "");
        server_.stop();
        DeviceTest::TearDown();
    }

    // The running app's bundle version; an empty text leaves it out of Info.plist.
    void setLocalVersion(const std::string& version) {
        NSBundle::mainBundle();
        DeviceRoot::mount(NSBundleMainBundlePath, bundle_.path());
        std::ofstream(bundle_.path() + "/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            << "<key>CFBundleIdentifier</key><string>org.harborstack.tandrel</string>"
            << (version.empty() ? "" : "<key>CFBundleVersion</key><string>" + version + "</string>") << "</dict></plist>\n";
    }

    // Serves the replies in order at /Tandrel/track/release; the last one again after that.
    void serve(std::vector<VTServiceReply> replies) {
        auto shared = std::make_shared<std::vector<VTServiceReply>>(std::move(replies));
        auto next = std::make_shared<std::atomic<std::size_t>>(0);
        server_.route("/Tandrel/track/release", [shared, next](LoopbackExchange& exchange) {
            std::size_t index = std::min(next->fetch_add(1), shared->size() - 1);
            const auto& reply = (*shared)[index];
            LoopbackHTTPServer::fixed(reply.status, {{"Content-Type", "application/json"}}, reply.body)(exchange);
        });
    }

    std::string baseUrl() const { return server_.url("/Tandrel"); }

    LoopbackHTTPServer server_;
    TemporaryFolder bundle_;
};
