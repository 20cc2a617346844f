#include "platform/testsupport/LoopbackHTTPServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <strings.h>

namespace {

// No step of a test server waits longer than this for its test.
constexpr auto kGateBound = std::chrono::seconds(10);
constexpr int kPollBoundMilliseconds = 10000;

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    std::size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

std::optional<std::string> LoopbackRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

// MARK: - Gate

void LoopbackGate::release(int steps) {
    std::lock_guard guard(mutex_);
    released_ += steps;
    changed_.notify_all();
}

bool LoopbackGate::wait() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    bool ok = changed_.wait_for(lock, kGateBound, [this] { return released_ > 0 || cancelled_; });
    if (!ok || cancelled_) return false;
    --released_;
    return true;
}

int LoopbackGate::waiting() const {
    std::lock_guard guard(mutex_);
    return waiting_;
}

void LoopbackGate::cancel() {
    std::lock_guard guard(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

// MARK: - Connection

struct LoopbackHTTPServer::Tls {
    SSL_CTX* context = nullptr;
    ~Tls() {
        if (context) SSL_CTX_free(context);
    }
};

struct LoopbackExchange::Connection {
    int fd = -1;
    SSL* ssl = nullptr;
    std::string buffer;  // read but not yet consumed
    bool broken = false;

    ~Connection() {
        if (ssl) SSL_free(ssl);
    }

    bool writeAll(std::string_view bytes) {
        while (!bytes.empty() && !broken) {
            long n;
            if (ssl) {
                n = SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
                if (n <= 0) broken = true;
            } else {
                n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) broken = true;
            }
            if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return !broken;
    }

    // Reads more into buffer; false at the end of the stream or after a bounded wait.
    bool readMore() {
        if (broken) return false;
        if (!ssl || SSL_pending(ssl) == 0) {
            pollfd p{fd, POLLIN, 0};
            int r;
            // A signal (a thread suspension for a crash report) interrupts the wait, not the request.
            while ((r = ::poll(&p, 1, kPollBoundMilliseconds)) < 0 && errno == EINTR) {
            }
            if (r <= 0) return false;
        }
        char chunk[16384];
        long n = ssl ? SSL_read(ssl, chunk, sizeof chunk) : ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    std::optional<std::string> readLine() {
        for (;;) {
            std::size_t end = buffer.find("\r\n");
            if (end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 2);
                return line;
            }
            if (!readMore()) return std::nullopt;
        }
    }

    std::optional<std::string> readExactly(std::size_t length) {
        while (buffer.size() < length) {
            if (!readMore()) return std::nullopt;
        }
        std::string out = buffer.substr(0, length);
        buffer.erase(0, length);
        return out;
    }

    std::optional<LoopbackRequest> readRequest() {
        auto requestLine = readLine();
        if (!requestLine || requestLine->empty()) return std::nullopt;
        LoopbackRequest request;
        std::size_t a = requestLine->find(' ');
        std::size_t b = requestLine->find(' ', a + 1);
        if (a == std::string::npos || b == std::string::npos) return std::nullopt;
        request.method = requestLine->substr(0, a);
        request.target = requestLine->substr(a + 1, b - a - 1);
        request.path = request.target.substr(0, request.target.find('?'));
        for (;;) {
            auto line = readLine();
            if (!line) return std::nullopt;
            if (line->empty()) break;
            std::size_t colon = line->find(':');
            if (colon == std::string::npos) continue;
            request.headers.emplace_back(line->substr(0, colon), trim(line->substr(colon + 1)));
        }
        if (auto te = request.header("Transfer-Encoding"); te && equalsIgnoringCase(*te, "chunked")) {
            for (;;) {
                auto sizeLine = readLine();
                if (!sizeLine) return std::nullopt;
                std::size_t size = std::stoul(*sizeLine, nullptr, 16);
                if (size == 0) {
                    while (auto trailer = readLine()) {
                        if (trailer->empty()) break;
                    }
                    break;
                }
                auto data = readExactly(size);
                if (!data || !readLine()) return std::nullopt;
                request.body += *data;
            }
        } else if (auto length = request.header("Content-Length")) {
            auto body = readExactly(std::stoul(*length));
            if (!body) return std::nullopt;
            request.body = *body;
        }
        return request;
    }
};

bool LoopbackExchange::send(std::string_view bytes) { return connection_.writeAll(bytes); }

bool LoopbackExchange::sendHead(int status, const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + LoopbackHTTPServer::reasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers) head += name + ": " + value + "\r\n";
    head += "\r\n";
    return send(head);
}

void LoopbackExchange::waitForClientClose() {
    while (connection_.readMore()) {
    }
    close_ = true;
}

// MARK: - Server

LoopbackHTTPServer::LoopbackHTTPServer() { start(); }

LoopbackHTTPServer::LoopbackHTTPServer(const TestIdentity& identity) : tls_(std::make_unique<Tls>()) {
    tls_->context = SSL_CTX_new(TLS_server_method());
    BIO* chain = BIO_new_mem_buf(identity.chainPEM.data(), static_cast<int>(identity.chainPEM.size()));
    X509* leaf = PEM_read_bio_X509(chain, nullptr, nullptr, nullptr);
    SSL_CTX_use_certificate(tls_->context, leaf);
    X509_free(leaf);
    while (X509* extra = PEM_read_bio_X509(chain, nullptr, nullptr, nullptr)) {
        SSL_CTX_add_extra_chain_cert(tls_->context, extra);  // takes ownership
    }
    ERR_clear_error();
    BIO_free(chain);
    BIO* keyBio = BIO_new_mem_buf(identity.keyPEM.data(), static_cast<int>(identity.keyPEM.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    SSL_CTX_use_PrivateKey(tls_->context, key);
    EVP_PKEY_free(key);
    BIO_free(keyBio);
    if (!SSL_CTX_check_private_key(tls_->context)) throw std::runtime_error("test identity has a mismatched key");
    start();
}

LoopbackHTTPServer::~LoopbackHTTPServer() { stop(); }

void LoopbackHTTPServer::start() {
    // OpenSSL writes to a socket the client may already have closed; that must be an error
    // return in the writing thread, not a signal that ends the test process.
    ::signal(SIGPIPE, SIG_IGN);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 64) != 0) {
        throw std::runtime_error("loopback server cannot listen");
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (::pipe2(wakeFds_, O_CLOEXEC) != 0) throw std::runtime_error("loopback server cannot make a pipe");
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

std::string LoopbackHTTPServer::url(const std::string& path) const {
    return tls_ ? urlWithHost("localhost", path) : urlWithHost("127.0.0.1", path);
}

std::string LoopbackHTTPServer::urlWithHost(const std::string& host, const std::string& path) const {
    return std::string(tls_ ? "https://" : "http://") + host + ":" + std::to_string(port_) + path;
}

void LoopbackHTTPServer::route(const std::string& path, Handler handler) {
    std::lock_guard guard(mutex_);
    routes_[path] = std::move(handler);
}

void LoopbackHTTPServer::setFallback(Handler handler) {
    std::lock_guard guard(mutex_);
    fallback_ = std::move(handler);
}

std::vector<LoopbackRequest> LoopbackHTTPServer::requests() const {
    std::lock_guard guard(mutex_);
    return requests_;
}

std::size_t LoopbackHTTPServer::requestCount() const {
    std::lock_guard guard(mutex_);
    return requests_.size();
}

int LoopbackHTTPServer::connectionCount() const {
    std::lock_guard guard(mutex_);
    return connectionCount_;
}

std::size_t LoopbackHTTPServer::handledCount() const {
    std::lock_guard guard(mutex_);
    return handled_;
}

int LoopbackHTTPServer::tlsHandshakeCount() const {
    std::lock_guard guard(mutex_);
    return handshakes_;
}

void LoopbackHTTPServer::stop() {
    std::vector<std::thread> threads;
    {
        std::lock_guard guard(mutex_);
        if (stopped_) return;
        stopped_ = true;
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    char byte = 1;
    [[maybe_unused]] auto written = ::write(wakeFds_[1], &byte, 1);
    if (acceptThread_.joinable()) acceptThread_.join();
    {
        std::lock_guard guard(mutex_);
        threads.swap(connectionThreads_);
    }
    for (auto& thread : threads) thread.join();
    ::close(listenFd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
}

void LoopbackHTTPServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard guard(mutex_);
        if (stopped_) {
            ::close(fd);
            return;
        }
        int number = ++connectionCount_;
        openFds_.push_back(fd);
        connectionThreads_.emplace_back([this, fd, number] { serve(fd, number); });
    }
}

void LoopbackHTTPServer::serve(int fd, int number) {
    auto connection = std::make_shared<LoopbackExchange::Connection>();
    connection->fd = fd;
    bool ok = true;
    if (tls_) {
        connection->ssl = SSL_new(tls_->context);
        SSL_set_fd(connection->ssl, fd);
        ok = SSL_accept(connection->ssl) == 1;
        if (ok) {
            std::lock_guard guard(mutex_);
            ++handshakes_;
        }
        ERR_clear_error();
    }
    while (ok) {
        auto request = connection->readRequest();
        if (!request) break;
        request->connection = number;
        Handler handler;
        {
            std::lock_guard guard(mutex_);
            requests_.push_back(*request);
            auto it = routes_.find(request->path);
            handler = it != routes_.end() ? it->second : fallback_;
        }
        if (!handler) handler = fixed(404, {{"Content-Type", "text/plain"}}, "not found");
        LoopbackExchange exchange(*connection, std::move(*request));
        handler(exchange);
        {
            std::lock_guard guard(mutex_);
            ++handled_;
        }
        if (exchange.close_ || connection->broken) break;
    }
    if (connection->ssl && !connection->broken) SSL_shutdown(connection->ssl);
    {
        std::lock_guard guard(mutex_);
        std::erase(openFds_, fd);
        ::shutdown(fd, SHUT_RDWR);
    }
    connection.reset();
    ::close(fd);
}

// MARK: - Handlers

const char* LoopbackHTTPServer::reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::fixed(int status, Headers headers, std::string body) {
    return [=](LoopbackExchange& exchange) {
        Headers all = headers;
        all.emplace_back("Content-Length", std::to_string(body.size()));
        exchange.sendHead(status, all);
        if (exchange.request().method != "HEAD") exchange.send(body);
    };
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::chunked(int status, Headers headers, std::vector<std::string> chunks) {
    return [=](LoopbackExchange& exchange) {
        Headers all = headers;
        all.emplace_back("Transfer-Encoding", "chunked");
        exchange.sendHead(status, all);
        char size[32];
        for (const std::string& chunk : chunks) {
            if (chunk.empty()) continue;
            std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
            exchange.send(size);
            exchange.send(chunk);
            exchange.send("\r\n");
        }
        exchange.send("0\r\n\r\n");
    };
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::closeDelimited(int status, Headers headers, std::string body) {
    return [=](LoopbackExchange& exchange) {
        Headers all = headers;
        all.emplace_back("Connection", "close");
        exchange.sendHead(status, all);
        exchange.send(body);
        exchange.closeAfterResponse();
    };
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::truncated(int status, std::size_t declaredLength, std::string body) {
    return [=](LoopbackExchange& exchange) {
        exchange.sendHead(status, {{"Content-Length", std::to_string(declaredLength)}});
        exchange.send(body);
        exchange.closeAfterResponse();
    };
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::silent() {
    return [](LoopbackExchange& exchange) { exchange.waitForClientClose(); };
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::redirect(int status, std::string location) {
    return fixed(status, {{"Location", location}, {"Content-Type", "text/plain"}}, "moved");
}

namespace {

void sendPieces(LoopbackExchange& exchange, const std::string& body, std::size_t pieceSize,
                const std::shared_ptr<LoopbackGate>& gate) {
    if (pieceSize == 0) pieceSize = body.size();
    for (std::size_t offset = 0; offset < body.size(); offset += pieceSize) {
        if (offset > 0 && gate && !gate->wait()) {
            exchange.closeAfterResponse();
            return;
        }
        if (!exchange.send(std::string_view(body).substr(offset, pieceSize))) return;
    }
}

} // namespace

LoopbackHTTPServer::Handler LoopbackHTTPServer::gated(int status, Headers headers, std::string body, std::size_t pieceSize,
                                                      std::shared_ptr<LoopbackGate> gate) {
    return [=](LoopbackExchange& exchange) {
        Headers all = headers;
        all.emplace_back("Content-Length", std::to_string(body.size()));
        exchange.sendHead(status, all);
        sendPieces(exchange, body, pieceSize, gate);
    };
}

LoopbackHTTPServer::Handler LoopbackHTTPServer::rangeResource(std::string body, std::string etag, bool honourRange,
                                                              std::size_t pieceSize, std::shared_ptr<LoopbackGate> gate) {
    return [=](LoopbackExchange& exchange) {
        std::size_t from = 0;
        auto range = exchange.request().header("Range");
        if (honourRange && range && range->rfind("bytes=", 0) == 0) from = std::stoul(range->substr(6));
        if (from > body.size() || (from == body.size() && from > 0)) {
            exchange.sendHead(416, {{"Content-Range", "bytes */" + std::to_string(body.size())}, {"Content-Length", "0"}});
            return;
        }
        std::string part = body.substr(from);
        Headers headers = {{"ETag", etag}, {"Content-Type", "application/octet-stream"},
                           {"Content-Length", std::to_string(part.size())}};
        if (from > 0 || (honourRange && range)) {
            headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(body.size() - 1) + "/" +
                                                      std::to_string(body.size()));
            exchange.sendHead(206, headers);
        } else {
            exchange.sendHead(200, headers);
        }
        sendPieces(exchange, part, pieceSize, gate);
    };
}
