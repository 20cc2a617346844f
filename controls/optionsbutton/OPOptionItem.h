#pragma once
// One round option thrown out of the options button. A spring (its attachment) holds it at its
// place on the half circle; a finger on it ties it to a second spring that follows the finger,
// and lifting it gives it back to its place. Released without moving, the touch is a tap.

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDynamicBehavior.h"

#include <cstdint>
#include <memory>

class OPOptionItem : public UIButton {
public:
    static constexpr CGFloat kSide = 40;

    OPOptionItem();
    explicit OPOptionItem(std::int64_t index);
    ~OPOptionItem() override;

    std::int64_t index() const { return index_; }
    const std::shared_ptr<UIAttachmentBehavior>& attachment() const { return attachment_; }
    void setAttachment(std::shared_ptr<UIAttachmentBehavior> attachment) { attachment_ = std::move(attachment); }
    const std::shared_ptr<UIAttachmentBehavior>& dragAttachement() const { return dragAttachement_; }
    void setDragAttachement(std::shared_ptr<UIAttachmentBehavior> attachment) { dragAttachement_ = std::move(attachment); }

    // As a button's, and the round blue background gives way to the image.
    void setImageForState(UIImagePtr image, unsigned long state);

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // The system took the touch away: back to its place like a lift, but never a tap.
    void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

private:
    void setupButton();
    // Hands the item from the drag spring back to its own.
    void releaseDrag();

    std::int64_t index_ = 0;
    std::shared_ptr<UIAttachmentBehavior> attachment_;
    std::shared_ptr<UIAttachmentBehavior> dragAttachement_;
};
