#include "app/TDMedia.h"

#include "app/TDMusic.h"
#include "app/TDVideos.h"

namespace {
enum : int { kMusicIndex = 0, kPhotosIndex = 1, kVideosIndex = 2 };

// The Drag hint and Photos screens are not part of the app yet: their panels stay blank.
std::shared_ptr<UIViewController> blankPanel() { return std::make_shared<UIViewController>(); }
} // namespace

void TDMedia::viewDidLoad() {
    RSPenroseViewController::viewDidLoad();
    setTitle("Media");
    addButtonsToTopLeftRight("Music", "Photos", "Videos");
    setMainController(blankPanel());
    penroseView()->selectSide(0);
}

void TDMedia::didSelectPenroseButtonAtIndex(int index) {
    switch (index) {
    case kMusicIndex: setMainController(std::make_shared<TDMusic>()); break;
    case kPhotosIndex: setMainController(blankPanel()); break;
    case kVideosIndex: setMainController(std::make_shared<TDVideos>()); break;
    default: return;
    }
    penroseView()->selectSide(index);
}
