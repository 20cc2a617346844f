#pragma once
// The hidden Clipvane screen: what the video download does, and a Setup button that closes the
// screen and then opens the bookmarklet installer page in the browser.

#include "platform/uikit/UIViewController.h"

class TDYouTube : public UIViewController {
public:
    // Layout, in points.
    static constexpr CGFloat kLogoHeight = 220;
    static constexpr CGFloat kLabelWidth = 300;
    static constexpr CGFloat kLabelHeight = 100;
    static constexpr CGFloat kLabelFontSize = 10.5;
    static constexpr CGFloat kButtonWidth = 150;
    static constexpr CGFloat kButtonHeight = 42;
    static constexpr CGFloat kButtonBottomInset = 150;
    static constexpr CGFloat kButtonCornerRadius = 2;
    // The browser opens this long after the screen began to close.
    static constexpr double kInstallerDelay = 1.0;

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { UIViewController::didReceiveMemoryWarning(); }
    // The screen text shows the message, a line of the label a quoted text.
    void describeToScreen(UIScreenDescription& screen) override;

    // Setup: closes the screen, then opens the installer page a second later.
    void setBtnPressed();
    void openEggURL();
    // Done: closes the screen.
    void popEasterEggView();
};
