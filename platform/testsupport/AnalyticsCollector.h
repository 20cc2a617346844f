#pragma once
// A stand-in analytics collector and ad server on loopback: serves POST "/aas.do",
// "/v10/getAds.do" and "/postAdLog.do" over HTTP or HTTPS (a certificate of a test CA, which the
// test makes a system anchor), records every request and answers each path by its own script.
// Answers are taken in order of arrival; once a script is used up the path's default answer
// applies (200 and empty; on the ad paths with the checksum "0" of the empty body). GET of any
// other path serves the file of that name from the folder the test fills, if one is set.
//
// The ad paths' answers carry "fm-checksum": the body's CRC-32 as signed decimal, or by script
// a wrong one or none.
//
// A stall holds its answer until the test releases it (or the collector goes); the test can wait
// for a number of requests, or of stalls, from any thread of the test process.

#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/TestCertificates.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
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
    enum class Checksum { Absent, Correct, Wrong };
    Kind kind = Kind::Status;
    int status = 200;
    std::string body;
    Checksum checksum = Checksum::Absent;

    static CollectorAnswer ok(std::string body = {}) { return {Kind::Status, 200, std::move(body)}; }
    static CollectorAnswer withStatus(int code, std::string body = {}) { return {Kind::Status, code, std::move(body)}; }
    static CollectorAnswer stall() { return {Kind::Stall, 200, {}}; }
    static CollectorAnswer dropMidBody() { return {Kind::DropMidBody, 200, {}}; }
    static CollectorAnswer dropBeforeAnswer() { return {Kind::DropBeforeAnswer, 200, {}}; }
    // An ad server's answer: the status and body with the body's checksum.
    static CollectorAnswer ad(std::string body, int status = 200) { return {Kind::Status, status, std::move(body), Checksum::Correct}; }
    // Sent in a content coding: `codedBody` goes out under "Content-Encoding: coding" in place of
    // the body (the checksum stays the body's).
    std::string coding = {};
    std::string codedBody = {};
    CollectorAnswer withChecksum(Checksum value) const {
        CollectorAnswer copy = *this;
        copy.checksum = value;
        return copy;
    }
    CollectorAnswer withContentCoding(std::string name, std::string bytes) const {
        CollectorAnswer copy = *this;
        copy.coding = std::move(name);
        copy.codedBody = std::move(bytes);
        return copy;
    }
};

class AnalyticsCollector {
public:
    static constexpr const char* kPath = "/aas.do";
    static constexpr const char* kAdsPath = "/v10/getAds.do";
    static constexpr const char* kAdLogPath = "/postAdLog.do";

    // Plain HTTP, or HTTPS with a certificate for "localhost" and 127.0.0.1 from a new test CA.
    explicit AnalyticsCollector(bool https = false);
    ~AnalyticsCollector();
    AnalyticsCollector(const AnalyticsCollector&) = delete;
    AnalyticsCollector& operator=(const AnalyticsCollector&) = delete;

    int port() const { return server_->port(); }
    // "127.0.0.1:PORT".
    std::string hostAndPort() const;
    std::string url() const { return server_->url(kPath); }
    std::string urlFor(const std::string& path) const { return server_->url(path); }
    // The test CA's root (HTTPS only; empty otherwise).
    std::vector<std::uint8_t> rootCertificateDER() const;

    // The script and default answer of "/aas.do", or of the path named.
    void script(std::vector<CollectorAnswer> answers);
    void script(const std::string& path, std::vector<CollectorAnswer> answers);
    void setDefaultAnswer(CollectorAnswer answer);
    void setDefaultAnswer(const std::string& path, CollectorAnswer answer);
    // GET of "/NAME" answers the file FOLDER/NAME (200), or 404; paths leaving the folder get 404.
    void serveFiles(const std::string& folder);
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

    // The value of "fm-checksum" for a body: its CRC-32 as a signed 32-bit decimal.
    static std::string checksumText(const std::string& body);

    // The cookie answer: type 286, its length, 0, the count, then each key and value with 16-bit
    // big-endian lengths, and the trailing 16-bit value.
    static std::string cookieChunk(const std::vector<std::pair<std::string, std::string>>& cookies);
    // A loopback address and port where nothing listens (connections are refused).
    static std::string refusedHostAndPort();

private:
    void handle(LoopbackExchange& exchange);
    void handleFile(LoopbackExchange& exchange);
    CollectorAnswer nextAnswer(const std::string& path);
    static void answer(LoopbackExchange& exchange, const CollectorAnswer& answer);

    std::unique_ptr<TestCertificateAuthority> authority_;
    std::unique_ptr<LoopbackHTTPServer> server_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, std::deque<CollectorAnswer>> scripts_;
    std::map<std::string, CollectorAnswer> defaults_;
    std::string folder_;
    CollectorAnswer released_ = CollectorAnswer::ok();
    std::vector<LoopbackRequest> requests_;
    std::size_t stalled_ = 0;
    std::uint64_t releases_ = 0;  // how often the held stalls were released
    bool stopping_ = false;
};
