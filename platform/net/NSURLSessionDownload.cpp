// A download task's file: the body goes to a temporary file of the device (appended to when a
// resumed request is answered with its range), which the delegate gets when the download ends
// and which is deleted afterwards unless the delegate moved it.

#include "platform/net/NSURLSessionAsk.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSUUID.h"
#include "platform/net/NSURLError.h"

namespace {

constexpr long kHTTPPartialContent = 206;

std::string newDownloadPath() {
    std::string folder = NSTemporaryDirectory();
    NSFileManager::defaultManager()->createDirectoryAtPath(folder, true, nullptr, nullptr);
    return folder + "CFNetworkDownload_" + NSUUID::UUID()->UUIDString() + ".tmp";
}

} // namespace

bool NSURLSessionTask::openDownloadFile(const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto session = this->session();
    bool resumed = resumeOffset_ > 0 && response->statusCode() == kHTTPPartialContent;
    if (!resumed) {
        // A fresh body (the server ignored the range, or this is a first start).
        if (!filePath_.empty()) NSFileManager::defaultManager()->removeItemAtPath(filePath_, nullptr);
        filePath_ = newDownloadPath();
        if (resumeOffset_ > 0) resumeOffset_ = 0;
        const auto& part = partialContent_.range();
        completeLength_ = part ? part->completeLength : response->expectedContentLength();
    }
    written_ = 0;
    file_ = NSOutputStream::outputStreamToFileAtPath(filePath_, resumed);
    file_->open();
    if (file_->streamStatus() == NSStreamStatusError) {
        transfer_->setClientError(errorFor(NSURLErrorCannotCreateFile, "The download's file cannot be created."));
        return false;
    }
    auto etag = response->valueForHTTPHeaderField("ETag");
    auto modified = response->valueForHTTPHeaderField("Last-Modified");
    validator_ = etag ? *etag : modified ? *modified : std::string();
    long long length = response->expectedContentLength();
    long long expected = length >= 0 ? length + resumeOffset_ : NSURLSessionTransferSizeUnknown;
    {
        std::lock_guard guard(mutex_);
        expectedToReceive_ = expected;
    }
    if (fromResumeData_ && session) {
        if (auto delegate = session->responder(NSURLSessionSelector::DidResume)) {
            auto self = std::static_pointer_cast<NSURLSessionDownloadTask>(strongSelf());
            long long offset = resumeOffset_;
            session->enqueue([session, self, delegate, offset, expected] {
                delegate->URLSessionDownloadTaskDidResumeAtOffset(session, self, offset, expected);
            });
        }
    }
    return true;
}

bool NSURLSessionTask::writeDownload(const NSDataPtr& data) {
    auto session = this->session();
    const auto* bytes = data->bytes();
    std::size_t left = data->length();
    // Every byte is written, a short write included.
    while (left > 0) {
        long n = file_ ? file_->write(bytes, left) : -1;
        if (n <= 0) {
            transfer_->setClientError(errorFor(NSURLErrorCannotWriteToFile, "The download's file cannot be written."));
            return false;
        }
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
    written_ += static_cast<long long>(data->length());
    long long chunk = static_cast<long long>(data->length());
    long long total = resumeOffset_ + written_;
    long long expected = countOfBytesExpectedToReceive();
    if (auto delegate = session ? session->responder(NSURLSessionSelector::DidWriteData) : nullptr) {
        auto self = std::static_pointer_cast<NSURLSessionDownloadTask>(strongSelf());
        session->enqueue([session, self, delegate, chunk, total, expected] {
            delegate->URLSessionDownloadTaskDidWriteData(session, self, chunk, total, expected);
        });
    }
    return true;
}

void NSURLSessionTask::finishDownload() {
    auto session = this->session();
    auto self = strongSelf();
    if (file_) file_->close();
    file_.reset();
    if (filePath_.empty()) filePath_ = newDownloadPath();  // a bodiless answer still gives a (empty) file
    if (!NSFileManager::defaultManager()->fileExistsAtPath(filePath_)) {
        auto empty = NSOutputStream::outputStreamToFileAtPath(filePath_, false);
        empty->open();
        empty->close();
    }
    std::string path = filePath_;
    filePath_.clear();
    auto download = std::static_pointer_cast<NSURLSessionDownloadTask>(self);
    auto delegate = session ? session->responder(NSURLSessionSelector::DidFinishDownloading) : nullptr;
    // The file goes once the delegate had it, before the task completes (completion is queued after).
    session->enqueue([session, download, delegate, path] {
        if (delegate) delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(session, download, NSURL::fileURLWithPath(path));
        auto files = NSFileManager::defaultManager();
        if (files->fileExistsAtPath(path)) files->removeItemAtPath(path, nullptr);
    });
    finishOnLoop(nullptr);
}

void NSURLSessionTask::discardDownloadFile() {
    if (file_) file_->close();
    file_.reset();
    if (!keepFile_ && !filePath_.empty()) NSFileManager::defaultManager()->removeItemAtPath(filePath_, nullptr);
    filePath_.clear();
}

// MARK: - A data task that becomes a download

bool NSURLSessionTask::becomeDownload(const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto session = this->session();
    auto download = session->makeTask<NSURLSessionDownloadTask>(Kind::Download, originalRequest_);
    if (!download) return false;
    {
        std::lock_guard guard(download->mutex_);
        download->state_ = NSURLSessionTaskStateRunning;
        download->started_ = true;
        download->response_ = response;
        download->currentRequest_ = currentRequest();
    }
    // The download task steers the transfer from now on (cancel, suspend); this task stays its client.
    download->transfer_ = transfer_;
    if (!download->openDownloadFile(response)) {
        download->transfer_.reset();
        download->finishOnLoop(download->errorFor(NSURLErrorCannotCreateFile, "The download's file cannot be created."));
        return false;
    }
    becameDownload_ = download;
    auto self = std::static_pointer_cast<NSURLSessionDataTask>(strongSelf());
    if (auto delegate = session->responder(NSURLSessionSelector::DidBecomeDownloadTask)) {
        session->enqueue([session, self, delegate, download] {
            delegate->URLSessionDataTaskDidBecomeDownloadTask(session, self, std::static_pointer_cast<NSURLSessionDownloadTask>(download));
        });
    }
    retire();
    return true;
}

void NSURLSessionTask::retire() {
    auto self = strongSelf();
    auto session = this->session();
    if (!moveState(NSURLSessionTaskStateCompleted)) return;
    {
        std::lock_guard guard(mutex_);
        session_.reset();
    }
    if (session) session->taskDidComplete(self);
}
