#include "platform/uikit/UIAlertOverlayWindow.h"

namespace {
// The class as an object: the name is all that lookups by name ask of it.
class UIAlertOverlayWindowClass : public NSObject {
public:
    std::string className() const override { return UIAlertOverlayWindow::kClassName; }
};
} // namespace

Class UIAlertOverlayWindow::classObject() {
    static Class object = std::make_shared<UIAlertOverlayWindowClass>();
    return object;
}
