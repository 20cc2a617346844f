#include "app/TDMusicExporter.h"

#include "app/TDMusic.h"
#include "controls/progress/PBProgressIndicator.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/WholeFile.h"
#include "platform/media/AVAssetExportSession.h"

std::string songData;

namespace {
constexpr const char* kAppFolder = "/var/mobile/Tandrel/";
// Exports started and not yet completed; the newest one alone may set songData.
int exportsInFlight = 0;
unsigned long latestExport = 0;

void logStatus(const AVAssetExportSession& session, const std::string& path) {
    switch (session.status()) {
    case AVAssetExportSessionStatusCompleted:
        NSLog("AVAssetExportSessionStatusCompleted");
        NSLog("Wrote file to %@", path);
        break;
    case AVAssetExportSessionStatusFailed: NSLog("AVAssetExportSessionStatusFailed: %@", session.error()); break;
    case AVAssetExportSessionStatusUnknown: NSLog("AVAssetExportSessionStatusUnknown"); break;
    case AVAssetExportSessionStatusWaiting: NSLog("AVAssetExportSessionStatusWaiting"); break;
    case AVAssetExportSessionStatusExporting: NSLog("AVAssetExportSessionStatusExporting"); break;
    case AVAssetExportSessionStatusCancelled: NSLog("AVAssetExportSessionStatusCancelled"); break;
    default: NSLog("didn't get export status"); break;
    }
}
} // namespace

std::string TDMusicExporter::fileNameForTitle(const std::string& title) {
    std::string name;
    for (char c : title)
        if (c != '/') name += c;
    name.erase(0, name.find_first_not_of('.'));
    if (name.empty()) name = "Untitled";
    return name + ".m4a";
}

bool TDMusicExporter::isExporting() { return exportsInFlight > 0; }

bool TDMusicExporter::exportMusicItemWithTitle(const MPMediaItemPtr& item, const std::string& title) {
    auto asset = AVURLAsset::URLAssetWithURL(item->assetURL());
    auto session = AVAssetExportSession::exportSessionWithAsset(asset, AVAssetExportPresetAppleM4A);
    if (!session) {
        PBProgressIndicator::showErrorMessage("Export Failed");
        return true;
    }
    session->setOutputFileType("com.apple.m4a-audio");
    const std::string path = std::string(kAppFolder) + fileNameForTitle(title);
    // The session writes the song under a hidden name of its own beside the path, and the song
    // takes the path only once it is complete: whatever stands there meanwhile (an earlier export
    // of the title, or a folder) is left as it is until then, and for good when the export fails.
    auto song = std::make_shared<WholeFileWriter>();
    if (int e = song->reserve(path)) {
        NSLog("Cannot export to %@: %@", path, NSWholeFileErrorText(e));
        PBProgressIndicator::showErrorMessage("Export Failed");
        return true;
    }
    session->setOutputURL(NSURL::fileURLWithPath(std::string(kAppFolder) + song->temporaryName()));

    ++exportsInFlight;
    const unsigned long number = ++latestExport;
    auto self = this->self<TDMusicExporter>();
    // The session calls back on its own queue; everything after it belongs to the main thread.
    session->exportAsynchronouslyWithCompletionHandler([self, session, song, path, number] {
        dispatch_async(dispatch_get_main_queue(), [self, session, song, path, number] {
            --exportsInFlight;
            NSLog("Exporting song...");
            const bool exported = session->status() == AVAssetExportSessionStatusCompleted;
            bool completed = false;
            if (!exported) {
                song->discard();
            } else if (int e = song->commit(WholeFileWriter::Sync::None)) {
                NSLog("AVAssetExportSessionStatusFailed: cannot write %@: %@", path, NSWholeFileErrorText(e));
            } else {
                completed = true;
            }
            if (completed || !exported) logStatus(*session, path);
            if (number != latestExport) return;
            if (completed) {
                self->exportedFile_ = path;
                self->shouldShowAirDrop();
            } else {
                PBProgressIndicator::showErrorMessage("Export Failed");
            }
        });
    });
    return true;
}

void TDMusicExporter::shouldShowAirDrop() {
    NSLog("Exported file: %@", exportedFile_);
    std::make_shared<TDMusic>()->airDropSongAtPath(exportedFile_);
}
