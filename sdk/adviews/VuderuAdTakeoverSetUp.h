#pragma once
// What every modal ad controller does on creation: hide the status bar (remembering whether it
// was hidden), ask for a full-screen layout below 7.0, and let its view follow the window.

class UIViewController;

namespace VuderuAdTakeoverSetUp {
// The status bar's hidden state before the controller hid it.
bool hideStatusBar(UIViewController& controller);
// Sets the status bar back to the state the controller found.
void restoreStatusBar(bool wasHidden);
// The modal takeovers' set-up: hideStatusBar, then a view that follows the window's size.
bool commonSetUp(UIViewController& controller);
} // namespace VuderuAdTakeoverSetUp
