#include "sdk/ads/VuderuHttpLoadOperation.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/FileWrites.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

const int MaxNumRetriesPerOperation = 2;

namespace {

const std::string kLoadManagerErrorDomain = "LoadManager";
constexpr long kFirstFailingStatus = 400;

} // namespace

VuderuHttpLoadOperation::VuderuHttpLoadOperation(std::string assetName, const std::string& urlString, double expiryTime,
                                                 Value::Dictionary tags, std::weak_ptr<VuderuContentLoadOperationDelegate> delegate,
                                                 std::optional<std::string> savePath, std::string cbKey)
    : VuderuLoadOperation(std::move(assetName), urlString, expiryTime, std::move(tags), std::move(delegate), std::move(savePath)),
      cbKey_(std::move(cbKey)) {}

std::shared_ptr<NSRunLoop> VuderuHttpLoadOperation::runLoop() const {
    std::lock_guard guard(loopMutex_);
    return runLoop_;
}

void VuderuHttpLoadOperation::executeLoading() {
    // A connection error starts the load over from here rather than from inside the connection's
    // callback, so that attempts do not nest run loops.
    for (;;) {
        loadOnce();
        if (!retry_ || isCancelled()) return;
        markStarted();
    }
}

void VuderuHttpLoadOperation::loadOnce() {
    retry_ = false;
    failed_ = false;
    bytesReceived_ = 0;
    openFile();
    auto request = NSURLRequest::requestWithURL(assetUrl(), NSURLRequestUseProtocolCachePolicy, kRequestTimeoutSeconds);
    connection_ = std::make_shared<NSURLConnection>(request, std::static_pointer_cast<NSURLConnectionDataDelegate>(self<VuderuHttpLoadOperation>()));
    auto loop = NSRunLoop::currentRunLoop();
    port_ = NSPort::port();
    loop->addPort(port_, NSDefaultRunLoopMode);
    {
        std::lock_guard guard(loopMutex_);
        runLoop_ = loop;
    }
    connection_->scheduleInRunLoop(loop, NSDefaultRunLoopMode);
    connection_->start();
    // A cancel that came before the loop was known has found nothing to stop.
    if (isCancelled()) abandonCancelled();
    loop->run();
}

void VuderuHttpLoadOperation::openFile() {
    if (savePath().empty()) {
        closeFile();
        return;
    }
    // The asset's own folder is made in the one that holds it, which is there but for the first
    // download; only then is every folder on the way walked. Whatever stood at the path goes, and
    // the download's own new file takes its place in the folder opened once for both: an empty file
    // needs no temporary copy or flush of its own; the body is synced once it is complete, before
    // the cache's index names it.
    const std::string folder = NSString::stringByDeletingLastPathComponent(savePath());
    if (auto above = DeviceRoot::openParent(folder); !above || above->name.empty() ||
                                                      (::mkdirat(above->folder.get(), above->name.c_str(), 0777) != 0 && errno != EEXIST)) {
        if (!NSFileManager::defaultManager()->createDirectoryAtPath(folder, true, nullptr, nullptr)) return;
    }
    auto parent = DeviceRoot::openParent(savePath());
    if (!parent || parent->name.empty()) return;
    ::unlinkat(parent->folder.get(), parent->name.c_str(), 0);
    int fd = ::openat(parent->folder.get(), parent->name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) fileHandle_ = std::make_shared<NSFileHandle>(fd);
}

void VuderuHttpLoadOperation::closeFile() {
    if (!fileHandle_) return;
    fileHandle_->closeFile();
    fileHandle_.reset();
}

void VuderuHttpLoadOperation::deleteFile() { NSFileManager::defaultManager()->removeItemAtPath(savePath(), nullptr); }

void VuderuHttpLoadOperation::leaveRunLoop() {
    std::lock_guard guard(loopMutex_);
    if (runLoop_ && port_) runLoop_->removePort(port_, NSDefaultRunLoopMode);
    port_.reset();
    runLoop_.reset();
}

void VuderuHttpLoadOperation::didCancelWhileExecuting() {
    // Stop at once rather than at the next piece of the body, which a stalled server may never send.
    if (auto loop = runLoop()) {
        auto operation = self<VuderuHttpLoadOperation>();
        loop->performBlock([operation] { operation->abandonCancelled(); });
    }
}

void VuderuHttpLoadOperation::abandonCancelled() {
    if (!connection_) return;
    connection_->cancel();
    connection_.reset();
    reportOnMainThread(Outcome::Cancelled);
    closeFile();
    deleteFile();
    leaveRunLoop();
    finishOperation();
}

NSErrorPtr VuderuHttpLoadOperation::tooLargeError() const {
    return NSError::errorWithDomain(
        kLoadManagerErrorDomain, NSURLErrorDataLengthExceedsMaximum,
        {{NSLocalizedDescriptionKey, NSString::stringWithFormat("Asset larger than %ld bytes: %@", static_cast<long>(maxAssetSize_), resourceId())}});
}

NSErrorPtr VuderuHttpLoadOperation::badAnswerError(const std::string& refusal) const {
    return NSError::errorWithDomain(kLoadManagerErrorDomain, NSURLErrorBadServerResponse,
                                    {{NSLocalizedDescriptionKey, NSString::stringWithFormat("%@ for asset: %@", refusal, resourceId())}});
}

void VuderuHttpLoadOperation::failWhileLoading(const NSErrorPtr& error) {
    failed_ = true;
    setOperationError(error);
    connection_->cancel();
    connection_.reset();
    closeFile();
    deleteFile();
    leaveRunLoop();
    reportOnMainThread(Outcome::Failed);
    finishOperation();
}

void VuderuHttpLoadOperation::connectionDidReceiveResponse(const NSURLConnectionPtr&, const NSURLResponsePtr& response) {
    if (!connection_) return;
    if (NSURLRequestPtr sent = connection_->currentRequest(); sent && response) {
        std::string refusal = partialContent_.judgeHead(*sent, *response);
        if (!refusal.empty()) return failWhileLoading(badAnswerError(refusal));
    }
    if (auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response); http && http->statusCode() >= kFirstFailingStatus) {
        failed_ = true;
        setOperationError(NSError::errorWithDomain(
            kLoadManagerErrorDomain, http->statusCode(),
            {{NSLocalizedDescriptionKey, NSString::stringWithFormat("Received status code: %ld for asset: %@", http->statusCode(), resourceId())}}));
    }
    if (maxAssetSize_ > 0 && response && response->expectedContentLength() > maxAssetSize_) failWhileLoading(tooLargeError());
}

void VuderuHttpLoadOperation::connectionDidReceiveData(const NSURLConnectionPtr&, const NSDataPtr& data) {
    if (!connection_) return;
    if (isCancelled()) {
        abandonCancelled();
        return;
    }
    if (std::string refusal = partialContent_.judgeBody(static_cast<long long>(data->length())); !refusal.empty()) {
        failWhileLoading(badAnswerError(refusal));
        return;
    }
    if (fileHandle_) {
        try {
            fileHandle_->writeData(*data);
        } catch (const NSException& exception) {
            failWhileLoading(NSError::errorWithDomain(kLoadManagerErrorDomain, NSURLErrorCannotWriteToFile,
                                                      {{NSLocalizedDescriptionKey, exception.reason()}}));
            return;
        }
    }
    bytesReceived_ += data->length();
    if (maxAssetSize_ > 0 && bytesReceived_ > static_cast<std::uint64_t>(maxAssetSize_)) failWhileLoading(tooLargeError());
}

void VuderuHttpLoadOperation::connectionDidFinishLoading(const NSURLConnectionPtr&) {
    if (!connection_) return;
    if (std::string refusal = partialContent_.judgeEnd(); !refusal.empty()) {
        failWhileLoading(badAnswerError(refusal));
        return;
    }
    leaveRunLoop();
    // Not synced here: the cache syncs each completed download beside the others still going,
    // before its index names it. The write-back starts now. The size is the open file's own, read
    // before it is closed: no second walk to it.
    std::optional<std::uint64_t> written;
    if (fileHandle_) {
        NSStartWriteBack(fileHandle_->fileDescriptor());
        struct stat st{};
        if (::fstat(fileHandle_->fileDescriptor(), &st) == 0) written = static_cast<std::uint64_t>(st.st_size);
    }
    closeFile();
    connection_.reset();
    if (isCancelled()) {
        deleteFile();
        finishOperation();
        return;
    }
    if (!written) {
        auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPath(savePath(), nullptr);
        written = attributes && attributes->fileSize ? *attributes->fileSize : 0;
    }
    const std::uint64_t size = *written;
    if (failed_ || size < kMinimumAssetBytes) {
        deleteFile();
        reportOnMainThread(Outcome::Failed);
    } else {
        report(Outcome::Finished);
    }
    finishOperation();
}

void VuderuHttpLoadOperation::connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) {
    if (!connection_) return;
    leaveRunLoop();
    connection_.reset();
    closeFile();
    if (isCancelled()) {
        deleteFile();
        finishOperation();
        return;
    }
    if (numRetries_ < MaxNumRetriesPerOperation) {
        ++numRetries_;
        retry_ = true;
        return;
    }
    setOperationError(error);
    deleteFile();
    report(Outcome::Failed);
    finishOperation();
}
