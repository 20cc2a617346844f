// The curl side of a transfer: the easy handle's options, the callbacks that lead into the
// transfer, the TLS chain as curl's OpenSSL hands it over, and curl's results as URL errors.

#include "platform/foundation/NSString.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLTransferCurl.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <new>

namespace {

// A presented chain, leaf first, as certificates of their own.
std::vector<SecCertificateRef> chainOf(X509* leaf, STACK_OF(X509) * others) {
    std::vector<SecCertificateRef> chain;
    if (leaf) {
        X509_up_ref(leaf);
        chain.push_back(std::make_shared<SecCertificate>(leaf));
    }
    for (int i = 0; others && i < sk_X509_num(others); ++i) {
        X509* certificate = sk_X509_value(others, i);
        if (leaf && X509_cmp(certificate, leaf) == 0) continue;
        X509_up_ref(certificate);
        chain.push_back(std::make_shared<SecCertificate>(certificate));
    }
    return chain;
}

} // namespace

URLTransferOutcome URLTransferOutcomeForCurlCode(int curlCode) {
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK: return {};
    case CURLE_OPERATION_TIMEDOUT: return {NSURLErrorTimedOut, "The request timed out.", nullptr};
    case CURLE_COULDNT_RESOLVE_HOST: return {NSURLErrorCannotFindHost, "A server with the specified hostname could not be found.", nullptr};
    case CURLE_COULDNT_CONNECT: return {NSURLErrorCannotConnectToHost, "Could not connect to the server.", nullptr};
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING: return {NSURLErrorNetworkConnectionLost, "The network connection was lost.", nullptr};
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
        return {NSURLErrorSecureConnectionFailed, "An SSL error has occurred and a secure connection to the server cannot be made.",
                nullptr};
    case CURLE_PEER_FAILED_VERIFICATION: return {NSURLErrorServerCertificateUntrusted, "The certificate for this server is invalid.", nullptr};
    case CURLE_BAD_CONTENT_ENCODING: return {NSURLErrorCannotDecodeContentData, "cannot decode content data", nullptr};
    case CURLE_URL_MALFORMAT: return {NSURLErrorUnsupportedURL, "unsupported URL", nullptr};
    case CURLE_UNSUPPORTED_PROTOCOL:  // the scheme was checked before: this is an answer without an HTTP status line
    case CURLE_WEIRD_SERVER_REPLY: return {NSURLErrorBadServerResponse, "The server returned a bad response.", nullptr};
    default: return {NSURLErrorUnknown, curl_easy_strerror(static_cast<CURLcode>(curlCode)), nullptr};
    }
}

// The callbacks are static members of an accessor struct so that they can reach the transfer's
// private handlers.
struct URLTransferCallbacks {
    static size_t header(char* data, size_t size, size_t count, void* userp) {
        size_t length = size * count;
        return static_cast<URLTransfer*>(userp)->headerLine(data, length) ? length : 0;
    }
    static size_t write(char* data, size_t size, size_t count, void* userp) {
        size_t length = size * count;
        return static_cast<URLTransfer*>(userp)->bodyData(data, length) ? length : CURL_WRITEFUNC_ERROR;
    }
    static int progress(void* userp, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
        return static_cast<URLTransfer*>(userp)->uploadProgress(ulnow, ultotal) ? 0 : 1;
    }
    static size_t read(char* buffer, size_t size, size_t count, void* userp) {
        long n = static_cast<URLTransfer*>(userp)->readBody(reinterpret_cast<std::uint8_t*>(buffer), size * count);
        return n < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(n);
    }
    static int verify(X509_STORE_CTX* context, void* userp) {
        auto* transfer = static_cast<URLTransfer*>(userp);
        bool accepted = transfer->evaluateTrust(chainOf(X509_STORE_CTX_get0_cert(context), X509_STORE_CTX_get0_untrusted(context)));
        X509_STORE_CTX_set_error(context, accepted ? X509_V_OK : X509_V_ERR_APPLICATION_VERIFICATION);
        return accepted ? 1 : 0;
    }
    // Runs once the connection is there (opened or reused), before the request goes out on it.
    static int prerequest(void* userp, char*, char*, int, int) {
        return static_cast<URLTransfer*>(userp)->checkReusedConnection() ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
    }
    // A name lookup begins (an address or a cached name may still end it at once); the socket of
    // the connection to the address found ends it.
    static int resolverStart(void*, void*, void* userp) {
        static_cast<URLTransfer*>(userp)->nameLookupStarted();
        return 0;
    }
    static int socketOpened(void* userp, curl_socket_t, curlsocktype) {
        static_cast<URLTransfer*>(userp)->connectionSocketOpened();
        return CURL_SOCKOPT_OK;
    }
    static CURLcode sslContext(CURL*, void* sslContext, void* userp) {
        SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), &URLTransferCallbacks::verify, userp);
        return CURLE_OK;
    }
};

bool URLTransfer::configure(URLTransferOutcome* refusal) {
    NSURLPtr url = request_ ? request_->URL() : nullptr;
    std::string scheme = url ? NSString::lowercaseString(url->scheme()) : std::string();
    if (!url || (scheme != "http" && scheme != "https")) {
        if (refusal) *refusal = {NSURLErrorUnsupportedURL, "unsupported URL", nullptr};
        return false;
    }
    long port = url->port().value_or(scheme == "https" ? 443 : 80);
    hostKey_ = scheme + "://" + NSString::lowercaseString(url->host()) + ":" + std::to_string(port);
    // curl's own time-outs follow the host's clock and average over windows; the transfer keeps
    // its own (idleTimerFired).
    timeout_ = request_->timeoutInterval() > 0 ? request_->timeoutInterval() : NSURLRequestDefaultTimeoutInterval;
    maximumBodyLength_ = request_->maximumBodyLength();
    return true;
}

// The handle is made when the exchange gets its connection, so that one waiting in the loader's
// queue costs its request and little more.
void URLTransfer::prepareCurl() {
    if (curl_->easy) return;
    NSURLPtr url = request_->URL();
    CURL* easy = curl_->easy = curl_easy_init();
    // curl makes no handle only when memory ran out; a request without one would never end.
    if (!easy) throw std::bad_alloc();
    std::string text = url->absoluteString();
    // curl wants no fragment.
    text = text.substr(0, text.find('#'));
    curl_easy_setopt(easy, CURLOPT_URL, text.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kURLTransferReceiveBufferSize);
    // Bodies in gzip or deflate are asked for and decoded, as a device's loading does; the client
    // and every bound see the decoded bytes. Other codings are refused with the head.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &URLTransferCallbacks::header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &URLTransferCallbacks::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &URLTransferCallbacks::progress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    // Each new TLS connection is evaluated (and challenged) afresh during its handshake, and a
    // reused one before the request is sent on it: no TLS session outlives the connection that
    // made it, and no exchange inherits another's trust decision.
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &URLTransferCallbacks::prerequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    // A transfer that ends while its name is still being looked up (timed out, cancelled) leaves
    // the lookup's thread to finish on its own instead of waiting for it on the loader's thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &URLTransferCallbacks::resolverStart);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &URLTransferCallbacks::socketOpened);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);  // the trust evaluation compares the host
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &URLTransferCallbacks::sslContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);

    const std::string& method = request_->HTTPMethod();
    if (request_->HTTPBody()) {
        curl_->body = request_->HTTPBody();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, curl_->body->bytes());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(curl_->body->length()));
    } else if (request_->HTTPBodyStream()) {
        curl_->bodyStream = request_->HTTPBodyStream();
        if (curl_->bodyStream->streamStatus() == NSStreamStatusNotOpen) curl_->bodyStream->open();
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &URLTransferCallbacks::read);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        // Large streamed bodies go out in blocks as large as the receive side's, not curl's 64 KiB.
        curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, kURLTransferReceiveBufferSize);
        std::string length = request_->valueForHTTPHeaderField("Content-Length");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(length.empty() ? -1 : NSString::longLongValue(length)));
    }
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET" && !curl_->body && !curl_->bodyStream) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method != "POST") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    // A header curl has no memory for fails the request rather than leaving the header out.
    auto append = [this](const std::string& header) {
        curl_slist* longer = curl_slist_append(curl_->headers.get(), header.c_str());
        if (!longer) throw std::bad_alloc();
        curl_->headers.release();
        curl_->headers.reset(longer);
    };
    for (const auto& [name, value] : request_->allHTTPHeaderFields()) append(name + ": " + value);
    // No "Expect: 100-continue" pause before bodies.
    if (request_->valueForHTTPHeaderField("Expect").empty()) append("Expect:");
    curl_slist* list = curl_->headers.get();
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
}

bool URLTransfer::checkReusedConnection() {
    if (!running()) return false;
    if (trustDecided_ || NSString::lowercaseString(request_->URL()->scheme()) != "https") return true;
    // The handshake of this connection was judged for an earlier exchange: this exchange's
    // client judges the same chain before any byte of its own goes over it.
    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(curl_->easy, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || !session ||
        session->backend != CURLSSLBACKEND_OPENSSL || !session->internals) {
        stopWith({NSURLErrorServerCertificateUntrusted, "The certificate for this server is invalid.", nullptr});
        return false;
    }
    auto* ssl = static_cast<SSL*>(session->internals);
    return evaluateTrust(chainOf(SSL_get0_peer_certificate(ssl), SSL_get_peer_cert_chain(ssl)));
}
