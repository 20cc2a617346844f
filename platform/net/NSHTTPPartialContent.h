#pragma once
// Whether a partial answer (206) is the part that was asked for. A 206 answers only a request whose
// "Range" asked for bytes, and only with a "Content-Range" naming exactly the range asked (its end
// cut to the resource's length where the request asked past it) and a body of that range's length.
// An unasked part, another part, a part that names none and a body of another length are not the
// answer: whoever takes an answer as whole (a connection's delegate, a gathering load, a session
// task) asks this judge and fails with its reason instead of taking a piece for the whole.
//
// One judge serves one answer: its head, then its body bytes as they arrive, then its end.

#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"

#include <optional>
#include <string>

// Bytes FIRST to LAST (inclusive) of a resource of LENGTH bytes (-1 when the answer says "*").
struct NSHTTPByteRange {
    long long first = 0;
    long long last = -1;
    long long completeLength = -1;
    long long length() const { return last - first + 1; }
};

// A response's "Content-Range" as "bytes FIRST-LAST/LENGTH" (or ".../*"); nullopt when absent or
// malformed (LAST before FIRST, or not inside LENGTH).
std::optional<NSHTTPByteRange> NSHTTPContentRange(const NSHTTPURLResponse& response);

class NSHTTPPartialContent {
public:
    // The answer's head, to the request that was sent for it. "" when it can be taken (any status
    // but 206, or a 206 that is the range asked for); else why not, for an error's description.
    std::string judgeHead(const NSURLRequest& request, const NSURLResponse& response);
    // Body bytes of the answer as they arrive: why not, once more arrived than its range holds.
    std::string judgeBody(long long bytes);
    // At the end of the body: why not, when less arrived than its range holds.
    std::string judgeEnd() const;

    // The range a 206 taken by judgeHead holds (nullopt for any other answer, or a multipart one).
    const std::optional<NSHTTPByteRange>& range() const { return range_; }

private:
    std::optional<NSHTTPByteRange> range_;
    long long received_ = 0;
    bool bodyless_ = false;
};
