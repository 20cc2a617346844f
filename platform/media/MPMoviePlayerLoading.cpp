// Loading a movie: a file URL opens in a later pass of the main loop; an http(s) URL is fetched
// into the device's /tmp first. Either ends playable or with the error finish.

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUUID.h"
#include "platform/media/MPMoviePlayerController.h"
#include "platform/media/VideoFile.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLConnection.h"

namespace {
constexpr long kNotAMovie = 1;
constexpr long kUnsupportedURL = 2;
constexpr long kFetchFailed = 3;

NSErrorPtr movieError(long code, const std::string& description) {
    return NSError::errorWithDomain(MPMoviePlayerErrorDomain, code, {{NSLocalizedDescriptionKey, Value(description)}});
}
} // namespace

void MPMoviePlayerController::prepareToPlay() {
    if (loading_ || isPreparedToPlay() || !url_) return;
    loading_ = true;
    std::weak_ptr<MPMoviePlayerController> weak = self<MPMoviePlayerController>();
    const std::string scheme = NSString::lowercaseString(url_->scheme());
    if (url_->isFileURL()) {
        NSRunLoop::mainRunLoop()->performBlock([weak, path = url_->path()] {
            if (auto p = weak.lock()) p->open(path);
        });
    } else if (scheme == "http" || scheme == "https") {
        fetch();
    } else {
        NSRunLoop::mainRunLoop()->performBlock([weak, text = url_->absoluteString()] {
            if (auto p = weak.lock()) p->fail(movieError(kUnsupportedURL, "unsupported URL " + text));
        });
    }
}

void MPMoviePlayerController::fetch() {
    std::weak_ptr<MPMoviePlayerController> weak = self<MPMoviePlayerController>();
    auto request = NSURLRequest::requestWithURL(url_);
    NSURLConnection::sendAsynchronousRequest(
        request, NSOperationQueue::mainQueue(), [weak](const NSURLResponsePtr& response, const NSDataPtr& data, const NSErrorPtr& error) {
            auto p = weak.lock();
            if (!p) return;
            if (error) return p->fail(error);
            auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
            if (http && (http->statusCode() < 200 || http->statusCode() > 299))
                return p->fail(movieError(kFetchFailed, "the server answered " + std::to_string(http->statusCode())));
            std::string name = p->url_->lastPathComponent();
            if (name.empty() || name == "/") name = "movie";
            const std::string path = "/tmp/" + NSUUID::UUID()->UUIDString() + "-" + name;
            NSFileManager::defaultManager()->createDirectoryAtPath("/tmp", true, nullptr, nullptr);
            if (!data || !data->writeToFile(path, true)) return p->fail(movieError(kFetchFailed, "could not keep the movie at " + path));
            p->open(path);
        });
}

void MPMoviePlayerController::open(const std::string& devicePath) {
    loading_ = false;
    auto properties = VideoFile::propertiesOfFile(DeviceRoot::hostPath(devicePath));
    if (!properties || properties->duration <= 0 || (properties->width == 0 && properties->audioCodec.empty()))
        return fail(movieError(kNotAMovie, "not a movie: " + devicePath));
    devicePath_ = devicePath;
    duration_ = properties->duration;
    if (initialPlaybackTime_ >= 0) position_ = initialPlaybackTime_;
    position_ = std::min(position_, duration_);
    loadState_ = static_cast<MPMovieLoadState>(MPMovieLoadStatePlayable | MPMovieLoadStatePlaythroughOK);
    auto keep = self<MPMoviePlayerController>();
    const auto changes = stateChanges_;
    NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerLoadStateDidChangeNotification, Value(keep));
    view_->setNeedsDisplay();
    // An observer that played, paused or stopped the movie decided for itself.
    if (stateChanges_ != changes) return;
    if (playWhenLoaded_ || (shouldAutoplay_ && !heldBeforeLoad_)) play();
    playWhenLoaded_ = false;
}

void MPMoviePlayerController::fail(const NSErrorPtr& error) {
    loading_ = false;
    playWhenLoaded_ = false;
    auto keep = self<MPMoviePlayerController>();
    postFinish(MPMovieFinishReasonPlaybackError, error);
}
