// The hand-over: files the system opens the app with are saved into the app folder.

#include "app/TDAppDelegate.h"
#include "controls/progress/PBProgressIndicator.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"

const std::string TDInboxPath = "/var/mobile/Documents/Inbox";
const std::string TDBridgeImportLibraryPath = "/Library/MobileSubstrate/DynamicLibraries/BridgeImport.dylib";

namespace {
constexpr const char* kClipvaneMarker = "youtube.";
constexpr const char* kSongExtension = "m4a";

// True when the path names something inside the inbox: below it, with no "." or ".." step that
// could lead out of it again.
bool liesInsideInbox(const std::string& path) {
    const std::string prefix = TDInboxPath + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) return false;
    for (const auto& part : NSString::componentsSeparatedByString(path.substr(prefix.size()), "/")) {
        if (part == "." || part == "..") return false;
    }
    return path.size() > prefix.size();
}
} // namespace

std::optional<bool> TDAppDelegate::applicationOpenURLSourceApplicationAnnotation(UIApplication&, const NSURLPtr& url,
                                                                                 const std::string& sourceApplication,
                                                                                 const Value& annotation) {
    if (!url) return false;
    NSLog("Application: %@\nURL: %@\nSource: %@\nAnnotation: %@\nFilename: %@", "UIApplication", url, sourceApplication, annotation,
          NSString::lastPathComponent(url->path()));
    // A file is always a file, whatever its name; only other URLs can be Clipvane requests.
    if (!url->isFileURL()) {
        if (url->absoluteString().find(kClipvaneMarker) == std::string::npos) return false;
        requestClipvaneVideo(url);
        return true;
    }
    return saveReceivedFile(url);
}

bool TDAppDelegate::saveReceivedFile(const NSURLPtr& url) {
    auto fileManager = NSFileManager::defaultManager();
    const std::string source = url->path();
    if (!fileManager->fileExistsAtPath(source)) return false;

    const std::string name = NSString::lastPathComponent(source);
    const std::string destination = NSString::stringByAppendingPathComponent(TDAppFolderPath, name);
    if (!fileManager->copyItemAtPath(source, destination, nullptr)) {
        // The handed-over file stays where it is, so nothing is lost.
        PBProgressIndicator::showErrorMessage("Unable to save file");
        return false;
    }
    // Only the system's own inbox copy is ours to remove; any other file named by a URL stays.
    if (liesInsideInbox(source)) fileManager->removeItemAtPath(source, nullptr);
    PBProgressIndicator::showSuccessMessage("File saved");

    if (NSString::pathExtension(name) == kSongExtension) offerImportOfSong(destination);
    return true;
}

void TDAppDelegate::offerImportOfSong(const std::string& path) {
    if (!NSFileManager::defaultManager()->fileExistsAtPath(TDBridgeImportLibraryPath)) {
        NSLog("Bridge not installed, ignoring...");
        return;
    }
    NSLog("Bridge detected");
    UIAlertView::initWithTitle("Tandrel", "Audio file detected\nWhat would you like to do?", self<TDAppDelegate>(), "Save", {"Import"})
        ->show();
    musicFilePath_ = path;
}
