#pragma once
// A loopback video site serving the replies of VPYoutubeReplies.h.

#include "app/support/TDSites.h"
#include "app/support/VPYoutubeParser.h"
#include "app/support/tests/VPYoutubeReplies.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"

#include <string>
#include <vector>

class VPYoutubeParserTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(TDSites::setVideoSiteOrigin(server_.url("")));
    }
    void TearDown() override {
        TDSites::setVideoSiteOrigin("");
        server_.stop();
        DeviceTest::TearDown();
    }
    void serve(const std::string& body) {
        server_.route("/get_video_info", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/plain"}}, body));
    }

    LoopbackHTTPServer server_;
};
