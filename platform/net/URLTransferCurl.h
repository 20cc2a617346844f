#pragma once
// The curl side of a transfer, shared by the transfer and its loader only.

#include "platform/foundation/NSStream.h"
#include "platform/net/URLTransfer.h"

#include <curl/curl.h>

// Large reads keep the per-chunk cost (one client call, one write) small on fast links.
constexpr long kURLTransferReceiveBufferSize = 512 * 1024;

// What a transfer that curl ended with this result reports.
URLTransferOutcome URLTransferOutcomeForCurlCode(int curlCode);

struct URLTransfer::Curl {
    struct SlistDeleter {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };

    CURL* easy = nullptr;
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    NSDataPtr body;  // kept alive while curl reads it
    std::shared_ptr<NSInputStream> bodyStream;

    ~Curl() {
        if (easy) curl_easy_cleanup(easy);
    }
};
