#pragma once
// Exports a picked song to an M4A file in the app folder and hands the finished file to the
// Music screen, which offers it through the AirDrop sheet when the user presses Send.

#include "platform/foundation/NSObject.h"
#include "platform/media/MPMediaItem.h"

#include <string>

// The path of the song file Send offers; empty while no song is ready. Main thread only.
extern std::string songData;

class TDMusicExporter : public NSObject {
public:
    // The file name a title exports to: "/" removed, leading dots removed, "Untitled" when
    // nothing is left, ".m4a" appended. The file therefore always lands in the app folder.
    static std::string fileNameForTitle(const std::string& title);
    // True while an export started here has not completed on the main thread yet.
    static bool isExporting();

    // Starts the export; always true. Completion runs on the main thread.
    bool exportMusicItemWithTitle(const MPMediaItemPtr& item, const std::string& title);
    void shouldShowAirDrop();
    const std::string& exportedFile() const { return exportedFile_; }

private:
    std::string exportedFile_;
};
