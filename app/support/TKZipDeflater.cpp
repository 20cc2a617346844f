#include "app/support/TKZipDeflater.h"

#include "platform/dispatch/WorkerPool.h"

#include <algorithm>
#include <zlib.h>

namespace {

constexpr std::size_t kWindowBytes = 32768;  // what deflate may look back at
constexpr int kMemoryLevel = 8;              // zlib's default
// Pieces written ahead of the archive: a few per worker, however small the files.
constexpr std::size_t kPiecesPerWorker = 64;
constexpr std::size_t kBytesPerWorker = 3 * TKZipDeflater::kPieceBytes;

// One deflate state per thread, reset for each piece instead of made again.
struct ThreadStream {
    z_stream stream{};
    bool ready = false;
    ThreadStream() {
        ready = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~ThreadStream() {
        if (ready) deflateEnd(&stream);
    }
};

} // namespace

struct TKZipDeflater::Entry {
    EntryHeader header;
    std::uint64_t size = 0;
    uLong crc = crc32(0, nullptr, 0);
    std::size_t pieces = 0;
};

struct TKZipDeflater::Piece {
    std::shared_ptr<Entry> entry;
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> dictionary;
    std::vector<std::uint8_t> output;
    std::size_t inputSize = 0;
    uLong crc = 0;
    bool first = false;
    bool last = false;
    bool failed = false;
    bool deflated = false;  // under Shared::mutex
};

struct TKZipDeflater::Shared {
    std::mutex mutex;
    std::condition_variable deflated;
    std::deque<std::shared_ptr<Piece>> todo;
    unsigned running = 0;  // drainers on the pool
};

TKZipDeflater::TKZipDeflater(zipFile zip, unsigned workers)
    : zip_(zip), workers_(workers ? workers : WorkerPool::availableCores()), limit_(kPiecesPerWorker * workers_),
      shared_(std::make_shared<Shared>()) {}

TKZipDeflater::~TKZipDeflater() {
    std::unique_lock lock(shared_->mutex);
    for (const auto& piece : order_) shared_->deflated.wait(lock, [&] { return piece->deflated; });
}

void TKZipDeflater::beginEntry(EntryHeader header) {
    entry_ = std::make_shared<Entry>();
    entry_->header = std::move(header);
    previousTail_.clear();
}

void TKZipDeflater::addBytes(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        if (pending_ && pending_->input.size() == kPieceBytes) submitPending(false);
        if (!pending_) {
            pending_ = std::make_unique<Piece>();
            pending_->input.reserve(std::min(size, kPieceBytes));
        }
        std::size_t take = std::min(size, kPieceBytes - pending_->input.size());
        pending_->input.insert(pending_->input.end(), data, data + take);
        data += take;
        size -= take;
    }
}

void TKZipDeflater::endEntry() {
    if (!entry_) return;
    if (!pending_) pending_ = std::make_unique<Piece>();  // an empty entry is one empty piece
    submitPending(true);
    entry_.reset();
}

void TKZipDeflater::submitPending(bool last) {
    std::shared_ptr<Piece> piece(pending_.release());
    piece->entry = entry_;
    piece->first = entry_->pieces++ == 0;
    piece->last = last;
    piece->inputSize = piece->input.size();
    if (!piece->first) piece->dictionary = previousTail_;
    if (!last) {
        // The next piece is primed with the window that ends here.
        const auto& input = piece->input;
        if (input.size() >= kWindowBytes) {
            previousTail_.assign(input.end() - kWindowBytes, input.end());
        } else {
            previousTail_.insert(previousTail_.end(), input.begin(), input.end());
            if (previousTail_.size() > kWindowBytes)
                previousTail_.erase(previousTail_.begin(), previousTail_.end() - kWindowBytes);
        }
    }

    while (!order_.empty() && (order_.size() >= limit_ || bytesAhead_ + piece->inputSize > kBytesPerWorker * workers_)) writeHead();
    order_.push_back(piece);
    bytesAhead_ += piece->inputSize;

    if (workers_ <= 1) {
        deflatePiece(*piece);
        std::lock_guard guard(shared_->mutex);
        piece->deflated = true;
        return;
    }
    bool startDrainer = false;
    {
        std::lock_guard guard(shared_->mutex);
        shared_->todo.push_back(piece);
        if (shared_->running < workers_) {
            ++shared_->running;
            startDrainer = true;
        }
    }
    if (!startDrainer) return;
    // At most `workers_` of these run at once; each takes pieces until none is left.
    WorkerPool::shared().submit([shared = shared_] {
        std::unique_lock lock(shared->mutex);
        while (!shared->todo.empty()) {
            auto next = std::move(shared->todo.front());
            shared->todo.pop_front();
            lock.unlock();
            deflatePiece(*next);
            lock.lock();
            next->deflated = true;
            shared->deflated.notify_all();
        }
        --shared->running;
    });
}

void TKZipDeflater::deflatePiece(Piece& piece) {
    thread_local ThreadStream state;
    piece.crc = crc32(0, piece.input.data(), static_cast<uInt>(piece.input.size()));
    z_stream& stream = state.stream;
    if (!state.ready || deflateReset(&stream) != Z_OK ||
        (!piece.dictionary.empty() &&
         deflateSetDictionary(&stream, piece.dictionary.data(), static_cast<uInt>(piece.dictionary.size())) != Z_OK)) {
        piece.failed = true;
        return;
    }
    // A piece that is not the entry's last ends with a sync flush: on a byte boundary, with no
    // final block, so that the next piece's output simply follows it.
    piece.output.resize(deflateBound(&stream, static_cast<uLong>(piece.input.size())) + 16);
    stream.next_in = piece.input.data();
    stream.avail_in = static_cast<uInt>(piece.input.size());
    std::size_t produced = 0;
    int flush = piece.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        stream.next_out = piece.output.data() + produced;
        stream.avail_out = static_cast<uInt>(piece.output.size() - produced);
        int result = deflate(&stream, flush);
        produced = piece.output.size() - stream.avail_out;
        if (result == Z_STREAM_END || (flush == Z_SYNC_FLUSH && (result == Z_OK || result == Z_BUF_ERROR) && stream.avail_out > 0))
            break;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            piece.failed = true;
            break;
        }
        piece.output.resize(piece.output.size() * 2);
    }
    piece.output.resize(produced);
    std::vector<std::uint8_t>().swap(piece.input);
    std::vector<std::uint8_t>().swap(piece.dictionary);
}

void TKZipDeflater::writeHead() {
    std::shared_ptr<Piece> piece = std::move(order_.front());
    order_.pop_front();
    bytesAhead_ -= piece->inputSize;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->deflated.wait(lock, [&] { return piece->deflated; });
    }
    if (!ok_) return;  // the archive is broken: nothing more goes in
    Entry& entry = *piece->entry;
    const EntryHeader& header = entry.header;
    if (piece->first &&
        zipOpenNewFileInZip4_64(zip_, header.name.c_str(), &header.info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, kMemoryLevel, Z_DEFAULT_STRATEGY, nullptr, 0,
                                header.versionMadeBy, header.flags, header.zip64 ? 1 : 0) != ZIP_OK) {
        ok_ = false;
        return;
    }
    if (piece->failed ||
        (!piece->output.empty() &&
         zipWriteInFileInZip(zip_, piece->output.data(), static_cast<unsigned>(piece->output.size())) != ZIP_OK)) {
        ok_ = false;
        return;
    }
    entry.crc = crc32_combine(entry.crc, piece->crc, static_cast<z_off_t>(piece->inputSize));
    entry.size += piece->inputSize;
    if (piece->last && zipCloseFileInZipRaw64(zip_, entry.size, entry.crc) != ZIP_OK) ok_ = false;
}

bool TKZipDeflater::flush() {
    while (!order_.empty()) writeHead();
    return ok_;
}
