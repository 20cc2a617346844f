#include "platform/testsupport/AnalyticsCollector.h"

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <sstream>
#include <zlib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// No stall outlives this, whatever the test does.
constexpr auto kStallBound = std::chrono::seconds(120);
constexpr std::uint16_t kCookieChunkType = 286;

void appendBigEndian16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

std::chrono::steady_clock::duration seconds(double value) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

} // namespace

AnalyticsCollector::AnalyticsCollector(bool https) {
    if (https) {
        authority_ = std::make_unique<TestCertificateAuthority>();
        server_ = std::make_unique<LoopbackHTTPServer>(authority_->issue("localhost"));
    } else {
        server_ = std::make_unique<LoopbackHTTPServer>();
    }
    defaults_[kPath] = CollectorAnswer::ok();
    for (const char* path : {kAdsPath, kAdLogPath}) defaults_[path] = CollectorAnswer::ad({});
    for (const auto& [path, unused] : defaults_) server_->route(path, [this](LoopbackExchange& exchange) { handle(exchange); });
    server_->setFallback([this](LoopbackExchange& exchange) { handleFile(exchange); });
}

AnalyticsCollector::~AnalyticsCollector() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    server_->stop();
}

std::string AnalyticsCollector::hostAndPort() const {
    return "127.0.0.1:" + std::to_string(port());
}

std::vector<std::uint8_t> AnalyticsCollector::rootCertificateDER() const {
    return authority_ ? authority_->rootDER() : std::vector<std::uint8_t>{};
}

void AnalyticsCollector::script(std::vector<CollectorAnswer> answers) { script(kPath, std::move(answers)); }

void AnalyticsCollector::script(const std::string& path, std::vector<CollectorAnswer> answers) {
    std::lock_guard lock(mutex_);
    scripts_[path].assign(answers.begin(), answers.end());
}

void AnalyticsCollector::setDefaultAnswer(CollectorAnswer answer) { setDefaultAnswer(kPath, std::move(answer)); }

void AnalyticsCollector::setDefaultAnswer(const std::string& path, CollectorAnswer answer) {
    std::lock_guard lock(mutex_);
    defaults_[path] = std::move(answer);
}

void AnalyticsCollector::serveFiles(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
}

void AnalyticsCollector::setReleasedAnswer(CollectorAnswer answer) {
    std::lock_guard lock(mutex_);
    released_ = std::move(answer);
}

std::vector<LoopbackRequest> AnalyticsCollector::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> AnalyticsCollector::bodies() const {
    std::vector<std::string> result;
    for (const auto& request : requests()) result.push_back(request.body);
    return result;
}

std::size_t AnalyticsCollector::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

std::size_t AnalyticsCollector::stalledCount() const {
    std::lock_guard lock(mutex_);
    return stalled_;
}

bool AnalyticsCollector::waitForRequests(std::size_t count, double timeoutSeconds) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, seconds(timeoutSeconds), [&] { return requests_.size() >= count; });
}

bool AnalyticsCollector::waitForStalls(std::size_t count, double timeoutSeconds) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, seconds(timeoutSeconds), [&] { return stalled_ >= count; });
}

void AnalyticsCollector::releaseStalls() {
    {
        std::lock_guard lock(mutex_);
        ++releases_;
        stalled_ = 0;
    }
    changed_.notify_all();
}

CollectorAnswer AnalyticsCollector::nextAnswer(const std::string& path) {
    auto& script = scripts_[path];
    if (script.empty()) return defaults_[path];
    CollectorAnswer next = script.front();
    script.pop_front();
    return next;
}

void AnalyticsCollector::handleFile(LoopbackExchange& exchange) {
    const LoopbackRequest& request = exchange.request();
    std::string folder;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        folder = folder_;
    }
    changed_.notify_all();
    std::string contents;
    bool found = false;
    if (request.method == "GET" && !folder.empty() && request.path.find("..") == std::string::npos) {
        std::ifstream file(folder + request.path, std::ios::binary);
        if (file) {
            std::ostringstream read;
            read << file.rdbuf();
            contents = read.str();
            found = true;
        }
    }
    if (found) {
        LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/octet-stream"}}, contents)(exchange);
    } else {
        LoopbackHTTPServer::fixed(404, {{"Content-Type", "text/plain"}}, "not found")(exchange);
    }
}

void AnalyticsCollector::handle(LoopbackExchange& exchange) {
    CollectorAnswer planned;
    {
        std::unique_lock lock(mutex_);
        requests_.push_back(exchange.request());
        planned = nextAnswer(exchange.request().path);
        if (planned.kind == CollectorAnswer::Kind::Stall) {
            const std::uint64_t held = releases_;
            ++stalled_;
            changed_.notify_all();
            changed_.wait_for(lock, kStallBound, [&] { return releases_ != held || stopping_; });
            if (releases_ == held) {
                exchange.closeAfterResponse();
                return;
            }
            planned = released_;
        }
    }
    changed_.notify_all();
    answer(exchange, planned);
}

void AnalyticsCollector::answer(LoopbackExchange& exchange, const CollectorAnswer& answer) {
    switch (answer.kind) {
        case CollectorAnswer::Kind::Status:
        case CollectorAnswer::Kind::Stall: {
            LoopbackHTTPServer::Headers headers{{"Content-Type", "application/octet-stream"}};
            if (answer.checksum == CollectorAnswer::Checksum::Correct) headers.emplace_back("fm-checksum", checksumText(answer.body));
            if (answer.checksum == CollectorAnswer::Checksum::Wrong) headers.emplace_back("fm-checksum", checksumText(answer.body + "x"));
            if (!answer.coding.empty()) headers.emplace_back("Content-Encoding", answer.coding);
            LoopbackHTTPServer::fixed(answer.status, headers, answer.coding.empty() ? answer.body : answer.codedBody)(exchange);
            break;
        }
        case CollectorAnswer::Kind::DropMidBody:
            LoopbackHTTPServer::truncated(answer.status, 64, "partial")(exchange);
            break;
        case CollectorAnswer::Kind::DropBeforeAnswer:
            exchange.closeAfterResponse();
            break;
    }
}

std::string AnalyticsCollector::checksumText(const std::string& body) {
    const auto crc = static_cast<std::uint32_t>(::crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return std::to_string(static_cast<std::int32_t>(crc));
}

std::string AnalyticsCollector::cookieChunk(const std::vector<std::pair<std::string, std::string>>& cookies) {
    std::string list;
    appendBigEndian16(list, static_cast<unsigned>(cookies.size()));
    for (const auto& [key, value] : cookies) {
        appendBigEndian16(list, static_cast<unsigned>(key.size()));
        list += key;
        appendBigEndian16(list, static_cast<unsigned>(value.size()));
        list += value;
    }
    std::string chunk;
    appendBigEndian16(chunk, kCookieChunkType);
    const auto length = static_cast<std::uint32_t>(list.size() + 2);
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<char>((length >> shift) & 0xFF));
    appendBigEndian16(chunk, 0);
    chunk += list;
    appendBigEndian16(chunk, 0);
    return chunk;
}

std::string AnalyticsCollector::refusedHostAndPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    // Bound but never listening: a connection to the port is refused while the socket lives,
    // and nothing else can take the port meanwhile. The socket stays open for the process.
    return "127.0.0.1:" + std::to_string(port);
}
