#include "platform/testsupport/CodedBodies.h"

#include <zlib.h>

#include <stdexcept>

namespace coded_bodies {

namespace {

int windowBitsOf(Format format) {
    switch (format) {
    case Format::Gzip: return 15 + 16;
    case Format::Zlib: return 15;
    case Format::RawDeflate: return -15;
    }
    return 15;
}

// Feeds `count` copies of `piece` through one deflate stream.
std::string deflateRepeated(std::string_view piece, std::size_t count, Format format) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBitsOf(format), 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out;
    char buffer[16384];
    for (std::size_t i = 0; i <= count; ++i) {
        const bool last = i == count;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        stream.avail_in = last ? 0 : static_cast<uInt>(piece.size());
        int result = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
    }
    deflateEnd(&stream);
    return out;
}

} // namespace

std::string compressed(std::string_view bytes, Format format) { return deflateRepeated(bytes, 1, format); }

std::string compressedZeros(std::size_t length, Format format) {
    constexpr std::size_t kPiece = 64 * 1024;
    return deflateRepeated(std::string(kPiece, '\0'), length / kPiece, format);
}

LoopbackHTTPServer::Handler counted(LoopbackHTTPServer::Headers headers, std::string piece, std::size_t pieces,
                                    std::shared_ptr<std::atomic<std::size_t>> sent) {
    return [headers, piece, pieces, sent](LoopbackExchange& exchange) {
        LoopbackHTTPServer::Headers all = headers;
        all.emplace_back("Connection", "close");
        exchange.closeAfterResponse();
        if (!exchange.sendHead(200, all)) return;
        for (std::size_t i = 0; i < pieces; ++i) {
            if (!exchange.send(piece)) return;
            *sent += piece.size();
        }
    };
}

} // namespace coded_bodies
