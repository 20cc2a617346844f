#pragma once
// The Media tab: a triangle menu whose Music, Photos and Videos buttons switch the panel below it;
// the Drag hint shows before the first choice. Every choice, and every turn of the triangle, makes
// a fresh panel, so none keeps its state.

#include "controls/penrose/RSPenroseViewController.h"
#include "platform/uikit/UIButton.h"

#include <functional>
#include <memory>

class TDMedia : public RSPenroseViewController {
public:
    void viewDidLoad() override;
    void didSelectPenroseButtonAtIndex(int index) override;

    // The Photos and Videos panels' two curled picture buttons: "camera" at the top calling
    // `camera`, "library" below it calling `library` (on touch-up-inside, with the live target).
    struct PanelButtons {
        std::shared_ptr<UIButton> camera;
        std::shared_ptr<UIButton> library;
    };
    // The two buttons call the target's own member functions.
    template <class T>
    static PanelButtons addPanelButtons(UIView& view, const std::shared_ptr<T>& target, void (T::*camera)(), void (T::*library)()) {
        return addPanelButtons(view, std::shared_ptr<NSObject>(target), UITargetAction::erased<T, UIControl&, UIEvent*>(camera),
                               UITargetAction::erased<T, UIControl&, UIEvent*>(library));
    }
    static PanelButtons addPanelButtons(UIView& view, const std::shared_ptr<NSObject>& target, UIControl::Action camera,
                                        UIControl::Action library);
    // Places the two buttons for the view's bounds as they are now: the panel calls it at every
    // layout, so a panel turned with the device shows both buttons on the turned screen.
    static void layoutPanelButtons(const UIView& view, const PanelButtons& buttons);
};
