#pragma once
// Assets by URL (a file URL, or a song's "ipod-library:" URL) and their export. The one preset,
// AVAssetExportPresetAppleM4A, writes AAC in MPEG-4 ("com.apple.m4a-audio"). An export runs on
// the session's own queue and calls its handler there, with the status completed (3), failed (4,
// with an error) or cancelled (5). An output file that already exists fails the export, as on the
// device; a failed or cancelled export leaves no file.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

inline constexpr char AVAssetExportPresetAppleM4A[] = "AVAssetExportPresetAppleM4A";
inline constexpr char AVFileTypeAppleM4A[] = "com.apple.m4a-audio";
inline constexpr char AVFoundationErrorDomain[] = "AVFoundationErrorDomain";
enum : long {
    AVErrorUnknown = -11800,
    AVErrorFileAlreadyExists = -11823,
    AVErrorFileFormatNotRecognized = -11828,
    AVErrorExportFailed = -11820,
    AVErrorInvalidOutputURLPathExtension = -11843,
};

enum AVAssetExportSessionStatus : long {
    AVAssetExportSessionStatusUnknown = 0,
    AVAssetExportSessionStatusWaiting = 1,
    AVAssetExportSessionStatusExporting = 2,
    AVAssetExportSessionStatusCompleted = 3,
    AVAssetExportSessionStatusFailed = 4,
    AVAssetExportSessionStatusCancelled = 5,
};

class AVURLAsset;
using AVURLAssetPtr = std::shared_ptr<AVURLAsset>;

class AVURLAsset : public NSObject {
public:
    explicit AVURLAsset(NSURLPtr url) : url_(std::move(url)) {}
    static AVURLAssetPtr URLAssetWithURL(const NSURLPtr& url, const Value::Dictionary& options = {}) {
        (void)options;
        return std::make_shared<AVURLAsset>(url);
    }
    const NSURLPtr& URL() const { return url_; }
    // The device path of the media the URL names; empty when it names none.
    std::string devicePath() const;

private:
    NSURLPtr url_;
};

class DispatchQueue;

class AVAssetExportSession : public NSObject {
public:
    // nil for a preset other than AVAssetExportPresetAppleM4A.
    static std::shared_ptr<AVAssetExportSession> exportSessionWithAsset(const AVURLAssetPtr& asset, const std::string& presetName);
    AVAssetExportSession(AVURLAssetPtr asset, std::string presetName);

    void setOutputURL(const NSURLPtr& url) { outputURL_ = url; }
    const NSURLPtr& outputURL() const { return outputURL_; }
    void setOutputFileType(const std::string& type) { outputFileType_ = type; }
    const std::string& outputFileType() const { return outputFileType_; }
    const std::string& presetName() const { return presetName_; }

    AVAssetExportSessionStatus status() const { return status_; }
    NSErrorPtr error() const;

    void exportAsynchronouslyWithCompletionHandler(std::function<void()> handler);
    void cancelExport();

private:
    void run();
    void finish(AVAssetExportSessionStatus status, NSErrorPtr error);

    AVURLAssetPtr asset_;
    std::string presetName_;
    NSURLPtr outputURL_;
    std::string outputFileType_;
    std::atomic<AVAssetExportSessionStatus> status_{AVAssetExportSessionStatusUnknown};
    std::atomic<bool> cancelled_{false};
    mutable std::mutex lock_;
    NSErrorPtr error_;
    std::function<void()> handler_;
    std::shared_ptr<DispatchQueue> queue_;
};
