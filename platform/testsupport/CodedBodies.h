#pragma once
// Bodies for the content-coding and body-bound tests: bytes in gzip, zlib-wrapped or raw deflate
// (each a server may send as "Content-Encoding: gzip" or "deflate"), a small coded body that
// unpacks a thousandfold, and a loopback answer that counts what it managed to send.

#include "platform/testsupport/LoopbackHTTPServer.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace coded_bodies {

enum class Format { Gzip, Zlib, RawDeflate };

// The bytes compressed in the format, at zlib's best level.
std::string compressed(std::string_view bytes, Format format);

// `length` zero bytes (rounded down to a multiple of 64 KiB), compressed: about a thousandth of
// the length.
std::string compressedZeros(std::size_t length, Format format);

// A close-delimited answer: the head (with the headers given and no length), then `pieces` copies
// of `piece` until the client goes; *sent counts the body bytes that went out.
LoopbackHTTPServer::Handler counted(LoopbackHTTPServer::Headers headers, std::string piece, std::size_t pieces,
                                    std::shared_ptr<std::atomic<std::size_t>> sent);

} // namespace coded_bodies
