#include "platform/media/AVAssetExportSession.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/media/AudioTranscoding.h"
#include "platform/media/MPMediaItem.h"

std::string AVURLAsset::devicePath() const {
    if (!url_) return {};
    if (url_->isFileURL()) return url_->path();
    if (auto song = MPMediaItem::songWithAssetURL(url_)) return song->devicePath();
    return {};
}

std::shared_ptr<AVAssetExportSession> AVAssetExportSession::exportSessionWithAsset(const AVURLAssetPtr& asset,
                                                                                   const std::string& presetName) {
    if (!asset || presetName != AVAssetExportPresetAppleM4A) return nullptr;
    return std::make_shared<AVAssetExportSession>(asset, presetName);
}

AVAssetExportSession::AVAssetExportSession(AVURLAssetPtr asset, std::string presetName)
    : asset_(std::move(asset)), presetName_(std::move(presetName)), queue_(dispatch_queue_create("com.apple.avfoundation.export")) {}

NSErrorPtr AVAssetExportSession::error() const {
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}

void AVAssetExportSession::exportAsynchronouslyWithCompletionHandler(std::function<void()> handler) {
    handler_ = std::move(handler);
    status_ = AVAssetExportSessionStatusWaiting;
    // The session stays alive until its handler has run.
    auto self = this->self<AVAssetExportSession>();
    dispatch_async(queue_, [self] { self->run(); });
}

void AVAssetExportSession::cancelExport() { cancelled_ = true; }

void AVAssetExportSession::run() {
    auto failure = [](long code, const std::string& reason) {
        return NSError::errorWithDomain(AVFoundationErrorDomain, code,
                                        {{"NSLocalizedDescription", "The operation could not be completed"}, {"NSLocalizedFailureReason", reason}});
    };
    if (cancelled_) return finish(AVAssetExportSessionStatusCancelled, nullptr);
    status_ = AVAssetExportSessionStatusExporting;
    const std::string source = asset_ ? asset_->devicePath() : std::string();
    if (!outputURL_ || !outputURL_->isFileURL() || outputFileType_ != AVFileTypeAppleM4A)
        return finish(AVAssetExportSessionStatusFailed, failure(AVErrorInvalidOutputURLPathExtension, "The output is not an M4A file URL."));
    const std::string output = outputURL_->path();
    if (NSFileManager::defaultManager()->fileExistsAtPath(output))
        return finish(AVAssetExportSessionStatusFailed, failure(AVErrorFileAlreadyExists, "The file already exists."));
    if (source.empty() || !NSFileManager::defaultManager()->fileExistsAtPath(source))
        return finish(AVAssetExportSessionStatusFailed, failure(AVErrorFileFormatNotRecognized, "The media could not be found."));
    switch (AudioTranscoding::transcodeToAACInMPEG4(DeviceRoot::hostPath(source), DeviceRoot::hostPath(output), cancelled_)) {
    case AudioTranscoding::Result::Completed: return finish(AVAssetExportSessionStatusCompleted, nullptr);
    case AudioTranscoding::Result::Cancelled: return finish(AVAssetExportSessionStatusCancelled, nullptr);
    case AudioTranscoding::Result::Failed:
        return finish(AVAssetExportSessionStatusFailed, failure(AVErrorExportFailed, "The media could not be exported."));
    }
}

void AVAssetExportSession::finish(AVAssetExportSessionStatus status, NSErrorPtr error) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        error_ = std::move(error);
    }
    status_ = status;
    auto handler = std::move(handler_);
    handler_ = nullptr;
    if (handler) handler();
}
