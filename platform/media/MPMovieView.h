#pragma once
// The movie player's view: black, with the frame at the player's position drawn by the scaling
// mode (aspect-fit by default), decoded each time the view is painted. It tells the driver what
// plays ("movie: NAME 10.0 s at 3.0 s playing") and takes its `seek SECONDS`, a viewer's scrub.

#include "platform/uikit/UIView.h"

#include <memory>

class MPMoviePlayerController;

class MPMovieView : public UIView {
public:
    explicit MPMovieView(const std::shared_ptr<MPMoviePlayerController>& player);

    void drawRect(const CGRect& rect) override;
    // The frame follows the clock: painted afresh every time.
    bool keepsDrawing() const override { return false; }
    void describeToScreen(UIScreenDescription& screen) override;

private:
    std::weak_ptr<MPMoviePlayerController> player_;
};
