#pragma once
// The system's window that holds the alerts on screen. It becomes the key window while an alert
// shows; apps recognise it by its class name, "_UIAlertNormalizingOverlayWindow", the class the
// application registers for lookup by name (NSClassFromString).

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/uikit/UIWindow.h"

class UIAlertOverlayWindow : public UIWindow {
public:
    static constexpr const char* kClassName = "_UIAlertNormalizingOverlayWindow";

    using UIWindow::UIWindow;
    std::string className() const override { return kClassName; }
    // The class object registered under kClassName.
    static Class classObject();
    // What lies beneath is dimmed and the front-most alert painted over it.
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
};
