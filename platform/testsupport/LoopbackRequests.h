// Requests of the URL-loading tests, and how long a test waits for their outcome.
#pragma once

#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLRequest.h"

#include <string>

namespace loopback_requests {

// What a request to the loopback server may take before it times out, and how long a test runs the
// main loop for an outcome (a loaded machine included) before it gives up.
inline constexpr double kRequestTimeout = 30;
inline constexpr double kWait = 60;

// A request that bypasses every cache.
inline NSURLRequestPtr requestFor(const std::string& url, double timeout = kRequestTimeout) {
    return NSURLRequest::requestWithURL(NSURL::URLWithString(url), NSURLRequestReloadIgnoringLocalCacheData, timeout);
}

// Records a connection's response, its body and its outcome.
class RecordingConnectionDelegate : public NSURLConnectionDataDelegate {
public:
    NSDataPtr body = NSData::data();
    NSErrorPtr error;
    bool done = false;
    NSURLResponsePtr response;

    void connectionDidReceiveResponse(const NSURLConnectionPtr&, const NSURLResponsePtr& r) override { response = r; }
    void connectionDidReceiveData(const NSURLConnectionPtr&, const NSDataPtr& data) override { body->appendData(*data); }
    void connectionDidFinishLoading(const NSURLConnectionPtr&) override { done = true; }
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& e) override {
        error = e;
        done = true;
    }
};

} // namespace loopback_requests
