#pragma once
// An HTTP/1.1 (optionally HTTPS) server on 127.0.0.1 for tests: an ephemeral port, an accept
// thread and one thread per connection. It records every request and answers with whatever
// bytes a route's handler writes, so a test can script Content-Length, chunked and
// close-delimited bodies, bodies held back until the test releases them, truncation, silence,
// redirects and ranges. Every wait inside the server is bounded, and stop() ends everything.

#include "platform/testsupport/TestCertificates.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct LoopbackRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;    // the target without its query
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int connection = 0;  // the server's number of the connection it came on

    // The value of a header (any case), or nullopt.
    std::optional<std::string> header(const std::string& name) const;
};

// Lets a handler send its body in steps that the test releases one at a time.
class LoopbackGate {
public:
    void release(int steps = 1);
    // Waits for one released step; false when the server stops or the bound passes.
    bool wait();
    // How many steps the handler is waiting for or has taken (to know it reached a point).
    int waiting() const;
    void cancel();

private:
    friend class LoopbackHTTPServer;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int released_ = 0;
    int waiting_ = 0;
    bool cancelled_ = false;
};

class LoopbackExchange {
public:
    const LoopbackRequest& request() const { return request_; }
    // Writes raw bytes; false once the client is gone.
    bool send(std::string_view bytes);
    // Sends a status line and headers; the body follows with send().
    bool sendHead(int status, const std::vector<std::pair<std::string, std::string>>& headers);
    // Ends this connection after the handler returns (for close-delimited and truncated bodies).
    void closeAfterResponse() { close_ = true; }
    // Waits until the client closes the connection (bounded).
    void waitForClientClose();

private:
    friend class LoopbackHTTPServer;
    struct Connection;
    LoopbackExchange(Connection& connection, LoopbackRequest request) : connection_(connection), request_(std::move(request)) {}
    Connection& connection_;
    LoopbackRequest request_;
    bool close_ = false;
};

class LoopbackHTTPServer {
public:
    using Handler = std::function<void(LoopbackExchange&)>;
    using Headers = std::vector<std::pair<std::string, std::string>>;

    // Plain HTTP.
    LoopbackHTTPServer();
    // HTTPS with the given identity (its chainPEM is presented).
    explicit LoopbackHTTPServer(const TestIdentity& identity);
    ~LoopbackHTTPServer();
    LoopbackHTTPServer(const LoopbackHTTPServer&) = delete;
    LoopbackHTTPServer& operator=(const LoopbackHTTPServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" + path (or "https://localhost:PORT" + path with TLS).
    std::string url(const std::string& path) const;
    std::string urlWithHost(const std::string& host, const std::string& path) const;

    // The handler for a path (without query); unknown paths go to the fallback, or get 404
    // "not found" without one.
    void route(const std::string& path, Handler handler);
    void setFallback(Handler handler);
    std::vector<LoopbackRequest> requests() const;
    std::size_t requestCount() const;
    int connectionCount() const;
    int tlsHandshakeCount() const;
    // How many handlers have returned (their answer is completely sent, or abandoned).
    std::size_t handledCount() const;
    void stop();

    // Handlers for the usual answers.
    static Handler fixed(int status, Headers headers, std::string body);
    static Handler chunked(int status, Headers headers, std::vector<std::string> chunks);
    static Handler closeDelimited(int status, Headers headers, std::string body);
    // Declares declaredLength but sends only body, then closes.
    static Handler truncated(int status, std::size_t declaredLength, std::string body);
    // Reads the request and never answers (until the client leaves or the server stops).
    static Handler silent();
    static Handler redirect(int status, std::string location);
    // Sends the head with the body's length, then the body in pieces of pieceSize, waiting for the
    // gate before each piece after the first.
    static Handler gated(int status, Headers headers, std::string body, std::size_t pieceSize,
                         std::shared_ptr<LoopbackGate> gate);
    // A resource with an ETag that honours "Range: bytes=N-" with 206 (ignores If-Range when
    // honourRange is false, answering 200 with the whole body); pieces as in gated().
    static Handler rangeResource(std::string body, std::string etag, bool honourRange, std::size_t pieceSize = 0,
                                 std::shared_ptr<LoopbackGate> gate = nullptr);

    static const char* reasonPhrase(int status);

private:
    void start();
    void acceptLoop();
    void serve(int fd, int number);

    struct Tls;
    std::unique_ptr<Tls> tls_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    int port_ = 0;
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::map<std::string, Handler> routes_;
    Handler fallback_;
    std::vector<LoopbackRequest> requests_;
    std::vector<std::thread> connectionThreads_;
    std::vector<int> openFds_;
    int connectionCount_ = 0;
    int handshakes_ = 0;
    std::size_t handled_ = 0;
    bool stopped_ = false;
};
