#pragma once
// A stand-in analytics collector on loopback: serves POST "/aas.do" over HTTP or HTTPS (a
// certificate of a test CA, which the test makes a system anchor), records every request and
// answers by script. Answers are taken in order of arrival; once the script is used up the
// default answer (200, empty) applies.
//
// A stall holds its answer until the test releases it (or the collector goes); the test can wait
// for a number of requests, or of stalls, from any thread of the test process.

#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/TestCertificates.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct CollectorAnswer {
    enum class Kind {
        Status,            // the status with the body (200 and "" is the plain acceptance)
        Stall,             // held until released, then answered as `released`
        DropMidBody,       // a head promising more body than is sent, then the connection closes
        DropBeforeAnswer,  // the connection closes without any answer
    };
    Kind kind = Kind::Status;
    int status = 200;
    std::string body;

    static CollectorAnswer ok(std::string body = {}) { return {Kind::Status, 200, std::move(body)}; }
    static CollectorAnswer withStatus(int code, std::string body = {}) { return {Kind::Status, code, std::move(body)}; }
    static CollectorAnswer stall() { return {Kind::Stall, 200, {}}; }
    static CollectorAnswer dropMidBody() { return {Kind::DropMidBody, 200, {}}; }
    static CollectorAnswer dropBeforeAnswer() { return {Kind::DropBeforeAnswer, 200, {}}; }
};

class AnalyticsCollector {
public:
    static constexpr const char* kPath = "/aas.do";

    // Plain HTTP, or HTTPS with a certificate for "localhost" and 127.0.0.1 from a new test CA.
    explicit AnalyticsCollector(bool https = false);
    ~AnalyticsCollector();
    AnalyticsCollector(const AnalyticsCollector&) = delete;
    AnalyticsCollector& operator=(const AnalyticsCollector&) = delete;

    int port() const { return server_->port(); }
    // "127.0.0.1:PORT".
    std::string hostAndPort() const;
    std::string url() const { return server_->url(kPath); }
    // The test CA's root (HTTPS only; empty otherwise).
    std::vector<std::uint8_t> rootCertificateDER() const;

    void script(std::vector<CollectorAnswer> answers);
    void setDefaultAnswer(CollectorAnswer answer);
    // What released stalls answer (200, empty unless set).
    void setReleasedAnswer(CollectorAnswer answer);

    std::vector<LoopbackRequest> requests() const;
    std::vector<std::string> bodies() const;
    std::size_t requestCount() const;
    // Stalls held since the last release.
    std::size_t stalledCount() const;
    // Wait (real time, bounded) until that many requests have arrived, or are held by a stall.
    bool waitForRequests(std::size_t count, double timeoutSeconds = 30) const;
    bool waitForStalls(std::size_t count, double timeoutSeconds = 30) const;
    // Answers every stall held now (a stall counts as held until then).
    void releaseStalls();

    // The cookie answer: type 286, its length, 0, the count, then each key and value with 16-bit
    // big-endian lengths, and the trailing 16-bit value.
    static std::string cookieChunk(const std::vector<std::pair<std::string, std::string>>& cookies);
    // A loopback address and port where nothing listens (connections are refused).
    static std::string refusedHostAndPort();

private:
    void handle(LoopbackExchange& exchange);
    CollectorAnswer nextAnswer();
    static void answer(LoopbackExchange& exchange, const CollectorAnswer& answer);

    std::unique_ptr<TestCertificateAuthority> authority_;
    std::unique_ptr<LoopbackHTTPServer> server_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<CollectorAnswer> script_;
    CollectorAnswer default_ = CollectorAnswer::ok();
    CollectorAnswer released_ = CollectorAnswer::ok();
    std::vector<LoopbackRequest> requests_;
    std::size_t stalled_ = 0;
    std::uint64_t releases_ = 0;  // how often the held stalls were released
    bool stopping_ = false;
};
