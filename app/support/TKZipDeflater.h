#pragma once
// Deflates an archive's entries on every core while the archive is still written in order by
// minizip. Each entry's bytes come in pieces; every piece is deflated on its own on the worker
// pool (primed with the 32 KiB before it, so the result is close to one stream's) into raw
// deflate that ends on a byte boundary, and the pieces are written into minizip's raw entry in
// their order, the entry being closed with its size and CRC. The pieces in flight are bounded
// (a few per core), so memory stays flat however large the files; with one core everything is
// done on the calling thread.

#include <minizip/zip.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TKZipDeflater {
public:
    // The bytes of one piece: large enough that the per-piece cost vanishes, small enough that a
    // few per core stay cheap.
    static constexpr std::size_t kPieceBytes = 256 << 10;

    struct EntryHeader {
        std::string name;
        zip_fileinfo info;
        bool zip64 = false;
        unsigned long versionMadeBy = 0;
        unsigned long flags = 0;  // general purpose bits besides minizip's own
    };

    // `workers` 0: as many as the cores this process may run on.
    explicit TKZipDeflater(zipFile zip, unsigned workers = 0);
    // Waits for the pieces still being deflated; writes nothing more.
    ~TKZipDeflater();
    TKZipDeflater(const TKZipDeflater&) = delete;
    TKZipDeflater& operator=(const TKZipDeflater&) = delete;

    // Begins an entry: the pieces added until endEntry are its bytes.
    void beginEntry(EntryHeader header);
    void addBytes(const std::uint8_t* data, std::size_t size);
    void endEntry();
    // Writes out every entry begun; false when minizip refused a write (then or earlier).
    bool flush();
    // Whether every write so far succeeded.
    bool ok() const { return ok_; }
    unsigned workers() const { return workers_; }

private:
    struct Piece;
    struct Entry;
    void submitPending(bool last);
    void writeHead();
    static void deflatePiece(Piece& piece);

    zipFile zip_;
    unsigned workers_;
    std::size_t limit_;  // pieces submitted and not yet written (their bytes are bounded too)

    std::shared_ptr<Entry> entry_;  // the entry being filled
    std::unique_ptr<Piece> pending_;  // its newest piece, not yet known to be the last
    std::vector<std::uint8_t> previousTail_;  // the last 32 KiB of the entry's bytes before pending_

    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::deque<std::shared_ptr<Piece>> order_;  // submitted, in archive order
    std::size_t bytesAhead_ = 0;  // their input
    bool ok_ = true;
};
