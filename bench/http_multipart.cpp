// Posts a large file as a multipart form to a loopback HTTP server with NKHTTPSessionManager, the
// way a host app uploads a recording (a file part streamed from disk, the form's Content-Length
// known ahead).
//
//   bench_http_multipart --serve              reads and discards every request body; answers with
//                                             the body's byte count; prints the port
//   bench_http_multipart --post URL FILE      posts FILE (a host path) as the form's "file" part
//   bench_http_multipart [BYTES]              both in one process, over a generated file

#include "bench/LoopbackListener.h"
#include "netkit/NKHTTPSessionManager.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSRunLoop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr unsigned long long kDefaultBytes = 1ull << 30;
constexpr std::size_t kReceiveBlock = 1 << 20;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Reads one request: its head, a 100-continue answer when asked for, then Content-Length bytes of
// body into one reused block; answers with the count as JSON.
void serveConnection(int fd) {
    std::vector<char> block(kReceiveBlock);
    std::string head;
    std::size_t end = std::string::npos;
    while ((end = head.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = ::recv(fd, block.data(), block.size(), 0);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        head.append(block.data(), static_cast<std::size_t>(n));
    }
    unsigned long long received = head.size() - (end + 4);
    head.resize(end + 2);
    std::string fields = lowered(head);
    unsigned long long length = 0;
    if (auto at = fields.find("\r\ncontent-length:"); at != std::string::npos) length = std::strtoull(fields.c_str() + at + 17, nullptr, 10);
    if (fields.find("\r\nexpect: 100-continue\r\n") != std::string::npos) sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
    while (received < length) {
        ssize_t n = ::recv(fd, block.data(), block.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        received += static_cast<unsigned long long>(n);
    }
    std::string body = "{\"received\":" + std::to_string(received) + "}";
    sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body);
    ::shutdown(fd, SHUT_WR);
    while (::recv(fd, block.data(), block.size(), 0) > 0) {
    }
    ::close(fd);
}

void acceptForever(int listenFd) {
    for (;;) {
        int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd < 0) continue;
        std::thread([fd] { serveConnection(fd); }).detach();
    }
}

int post(const std::string& url, const std::string& hostPath) {
    DeviceRoot::setRoot("/");
    bool done = false;
    Value answer;
    NSErrorPtr failure;
    auto started = std::chrono::steady_clock::now();
    auto manager = NKHTTPSessionManager::manager();
    manager->POST(
        url, Value(),
        [&](NKMultipartFormData& form) {
            NSErrorPtr error;
            if (!form.appendPartWithFileURL(NSURL::fileURLWithPath(hostPath), "file", &error)) failure = error;
        },
        [&](const NSURLSessionDataTaskPtr&, const Value& object) {
            answer = object;
            done = true;
        },
        [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr& error) {
            failure = error;
            done = true;
        });
    auto runLoop = NSRunLoop::mainRunLoop();
    while (!done) runLoop->runOnce(1.0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    manager->invalidateSessionCancelingTasks(true);
    if (failure) {
        std::fprintf(stderr, "NKHTTPSessionManager: %s\n", failure->description().c_str());
        return 1;
    }
    long long received = static_cast<long long>(answer["received"].integerValue(-1));
    std::printf("NKHTTPSessionManager: %lld body bytes in %.2f s, %.1f MB/s\n", received, seconds,
                static_cast<double>(received) / seconds / 1e6);
    return received > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--serve") == 0) {
        int port = 0;
        int fd = listenOnLoopback(&port);
        std::printf("%d\n", port);
        std::fflush(stdout);
        acceptForever(fd);
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "--post") == 0) return post(argv[2], argv[3]);
    unsigned long long bytes = argc >= 2 ? std::strtoull(argv[1], nullptr, 10) : kDefaultBytes;
    int port = 0;
    int fd = listenOnLoopback(&port);
    std::thread([fd] { acceptForever(fd); }).detach();
    char path[] = "/tmp/bench_http_multipart.XXXXXX";
    int file = ::mkstemp(path);
    if (file < 0 || ::ftruncate(file, static_cast<off_t>(bytes)) != 0) return 1;
    ::close(file);
    int status = post("http://127.0.0.1:" + std::to_string(port) + "/upload", path);
    ::unlink(path);
    return status;
}
