// Clipvane: a video page's address handed over by the bookmarklet becomes a quality sheet and a
// download into the app folder.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "app/support/VPYoutubeParser.h"
#include "controls/progress/PBProgressIndicator.h"
#include "netkit/NKHTTPRequestOperation.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/WholeFile.h"
#include "platform/net/NSData+NSURLLoading.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"
#include "platform/uikit/UIApplicationLifeCycle.h"

#include <cstdio>
#include <utility>

namespace {
// "tandrel://", which the bookmarklet puts before the page's address.
constexpr std::size_t kSchemePrefixLength = 10;
constexpr double kDownloadDelay = 1.0;
constexpr double kSheetButtonRound = 2.0;
constexpr const char* kVideoExtension = ".mov";
// A name longer than this, with the extension, would not fit in a folder entry.
constexpr std::size_t kMaxNameBytes = 250;

struct VideoQuality {
    const char* key;
    const char* label;
    const char* log;
};
constexpr VideoQuality kVideoQualities[] = {
    {"hd720", "High Quality", "High quality link: %@"},
    {"medium", "Medium Quality", "Medium quality link: %@"},
    {"small", "Low Quality", "Low quality link: %@"},
};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
}

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string truncatedUTF8(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

constexpr long kVideoStatusOK = 200;

// Why a finished download is not the whole video ("" when it is). The download asks for no range,
// so only a 200 holds the video: NetKit refuses any 206 to it.
std::string videoDownloadFailure(const NKHTTPRequestOperation& operation) {
    if (auto error = operation.error()) return error->localizedDescription();
    if (operation.isCancelled()) return "the download was cancelled";
    auto response = operation.response();
    if (!response) return "the server gave no answer";
    const long status = response->statusCode();
    if (status == kVideoStatusOK) return "";
    return NSString::stringWithFormat("the server answered %ld (%@)", status, NSHTTPURLResponse::localizedStringForStatusCode(status));
}

} // namespace

std::string TDAppDelegate::videoDestinationPath(const std::string& title, const std::string& videoID) {
    std::string name = title;
    replaceAll(name, "/", "_");
    replaceAll(name, std::string(1, '\0'), "_");
    name.erase(0, name.find_first_not_of('.') == std::string::npos ? name.size() : name.find_first_not_of('.'));
    if (name.empty()) name = videoID;
    return NSString::stringByAppendingPathComponent(TDAppFolderPath, truncatedUTF8(name, kMaxNameBytes) + kVideoExtension);
}

void TDAppDelegate::requestClipvaneVideo(const NSURLPtr& url) {
    std::string address = url->absoluteString();
    address = address.size() > kSchemePrefixLength ? address.substr(kSchemePrefixLength) : std::string();
    replaceAll(address, "http//", "http://");
    replaceAll(address, "http://m.", "http://www.");
    NSLog("YouTube video url detected, nsurl: %@", url);
    NSLog("YouTube URL: %@", address);

    auto pageURL = NSURL::URLWithString(address);
    videoID_ = VPYoutubeParser::youtubeIDFromYoutubeURL(pageURL).value_or("");
    NSErrorPtr error;
    auto videos = VPYoutubeParser::h264videosWithYoutubeURL(pageURL, &error);
    if (error) NSLog("Video lookup failed: %@", error->localizedDescription());
    availableVideos_ = videos.value_or(Value::Dictionary{});
    const Value moreInfo = Value(availableVideos_)[VPYoutubeMoreInfoKey];
    NSLog("Video meta-info: %@", moreInfo);

    videoQualities_.clear();
    videoURLS_.clear();
    for (const auto& quality : kVideoQualities) {
        auto stream = availableVideos_.find(quality.key);
        if (stream == availableVideos_.end() || !stream->second.isString()) continue;
        videoQualities_.push_back(quality.label);
        videoURLS_.push_back(stream->second.string());
        NSLog(quality.log, stream->second);
    }
    // A sheet with nothing but Cancel would leave the user guessing.
    if (videoQualities_.empty()) {
        videoDLSheet_.reset();
        UIAlertView::initWithTitle("Error", "This video cannot be downloaded.", nullptr, "OK")->show();
        return;
    }

    videoDLSheet_ = PSActionSheet::init();
    videoDLSheet_->setNAnimationType(PSActionSheet::kFade);
    videoDLSheet_->setDButtonRound(kSheetButtonRound);
    const std::string thumbnail = moreInfo["iurl"].stringValue();
    if (auto data = thumbnail.empty() ? nullptr : NSData_NSURLLoading::dataWithContentsOfURL(NSURL::URLWithString(thumbnail)))
        videoDLSheet_->setIImage(UIImage::imageWithData(*data));
    videoDLSheet_->setNContentMode(PSActionSheet::kContentImage);
    std::weak_ptr<TDAppDelegate> weakSelf = self<TDAppDelegate>();
    videoDLSheet_->showCCancelButtonsResult(moreInfo["title"].stringValue(), "Cancel", videoQualities_, [weakSelf](int index) {
        if (auto strongSelf = weakSelf.lock()) strongSelf->chooseVideoQuality(index);
    });
}

void TDAppDelegate::chooseVideoQuality(int index) {
    if (index == PSActionSheet::kCancelIndex || index < 0 || static_cast<std::size_t>(index) >= videoURLS_.size()) return;
    NSLog("Choosed quality: %@", videoQualities_[index]);
    NSLog("Download Link: %@", videoURLS_[index]);
    clickedInt_ = index;
    // The choice is taken now: another request within the second replaces the request's state.
    const std::string title = Value(availableVideos_)[VPYoutubeMoreInfoKey]["title"].stringValue();
    chosenDownloads_.push_back({videoURLS_[index], videoDestinationPath(title, videoID_)});
    std::weak_ptr<TDAppDelegate> weakSelf = self<TDAppDelegate>();
    NSTimer::scheduledTimerWithTimeInterval(kDownloadDelay, false, [weakSelf](const std::shared_ptr<NSTimer>&) {
        if (auto strongSelf = weakSelf.lock()) strongSelf->downloadEasterEggVid();
    });
}

void TDAppDelegate::downloadEasterEggVid() {
    // Every choice waits the same time, so the timers fire in the order of the choices.
    if (chosenDownloads_.empty()) return;
    auto download = chosenDownloads_.front();
    chosenDownloads_.pop_front();
    downloadVideoFromURLToPath(download.address, download.path);
}

// A download under way. The operation writes into the hidden file through the stream; the writer
// publishes that file under the destination's name once the whole video is there.
struct TDAppDelegate::VideoDownload {
    std::weak_ptr<NKHTTPRequestOperation> operation;
    std::shared_ptr<NSOutputStream> stream;
    WholeFileWriter writer;
};

void TDAppDelegate::downloadVideoFromURLToPath(const std::string& address, const std::string& path) {
    PBProgressIndicator::show();
    PBProgressIndicator::updateMessage("Downloading Video");
    PBProgressIndicator::updateProgress(0);

    auto operation = NKHTTPRequestOperation::initWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(address)));
    if (!operation) {
        NSLog("Download failed: %@ is no address to download from", address);
        PBProgressIndicator::showErrorMessage("Download Failed");
        return;
    }
    // The video is written under a hidden temporary name beside its own and appears in the app
    // folder only complete; an earlier file of the name is replaced then.
    auto download = std::make_shared<VideoDownload>();
    if (int e = download->writer.begin(path)) {
        NSLog("Download failed: %@ cannot be written: %@", path, NSWholeFileErrorText(e));
        PBProgressIndicator::showErrorMessage("Download Failed");
        return;
    }
    const std::string partialPath = NSString::stringByAppendingPathComponent(NSString::stringByDeletingLastPathComponent(path),
                                                                             download->writer.temporaryName());
    download->operation = operation;
    download->stream = NSOutputStream::outputStreamToFileAtPath(partialPath, false);
    operation->setOutputStream(download->stream);
    operation->setDownloadProgressBlock([](std::uint64_t, long long totalBytesRead, long long totalBytesExpectedToRead) {
        PBProgressIndicator::updateProgress(static_cast<float>(totalBytesRead) / static_cast<float>(totalBytesExpectedToRead));
    });
    if (!terminationObserver_) {
        std::weak_ptr<TDAppDelegate> weakSelf = self<TDAppDelegate>();
        terminationObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            UIApplicationWillTerminateNotification, nullptr, nullptr, [weakSelf](const std::shared_ptr<NSNotification>&) {
                if (auto strongSelf = weakSelf.lock()) strongSelf->abandonVideoDownloads();
            });
    }
    videoDownloads_.push_back(download);
    // The operation holds its completion block until the block has run; the block only looks at it.
    std::weak_ptr<TDAppDelegate> weakSelf = self<TDAppDelegate>();
    operation->setCompletionBlock([weakSelf, download, path] {
        if (auto strongSelf = weakSelf.lock()) std::erase(strongSelf->videoDownloads_, download);
        auto finished = download->operation.lock();
        std::string failure = finished ? videoDownloadFailure(*finished) : "the download went away";
        // A quit took the hidden file already.
        if (failure.empty() && !download->writer.isOpen()) failure = "the app is quitting";
        if (failure.empty()) {
            const int e = download->writer.commit(WholeFileWriter::Sync::None);
            if (e == 0) {
                PBProgressIndicator::showSuccessMessage("Download Complete");
                return;
            }
            failure = NSString::stringWithFormat("%@ cannot be replaced: %@", path, NSWholeFileErrorText(e));
        }
        NSLog("Download failed: %@", failure);
        download->writer.discard();
        PBProgressIndicator::showErrorMessage("Download Failed");
    });
    operation->start();
}

TDAppDelegate::~TDAppDelegate() {
    if (terminationObserver_) NSNotificationCenter::defaultCenter()->removeObserver(terminationObserver_);
}

void TDAppDelegate::abandonVideoDownloads() {
    for (const auto& download : std::exchange(videoDownloads_, {})) {
        // Closed first: a closed stream never opens again, so the network thread cannot bring the
        // hidden file back once the writer has removed it.
        download->stream->close();
        if (auto operation = download->operation.lock()) operation->cancel();
        download->writer.discard();
    }
}

void TDAppDelegate::installBookmark() {
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString(TDSites::bookmarkletInstallerURL()));
}
