#pragma once
// The system's music picker: a navigation screen titled "Songs" with a Cancel button and a table
// of the device's songs (title, artist below). A tapped row picks that song; the delegate
// dismisses the picker. The table and bar describe themselves to the driver like any others.

#include "platform/media/MPMediaItem.h"
#include "platform/uikit/UINavigationController.h"

#include <memory>
#include <string>
#include <vector>

class MPMediaPickerController;

class MPMediaPickerControllerDelegate {
public:
    virtual ~MPMediaPickerControllerDelegate() = default;
    virtual void mediaPickerDidPickMediaItems(MPMediaPickerController&, const std::vector<MPMediaItemPtr>&) {}
    // Not implemented: the picker goes away by itself.
    virtual void mediaPickerDidCancel(MPMediaPickerController& picker);
};

class MPMediaPickerController : public UINavigationController {
public:
    // The screen with its songs table as root.
    static std::shared_ptr<MPMediaPickerController> initWithMediaTypes(MPMediaType mediaTypes);

    MPMediaType mediaTypes() const { return mediaTypes_; }
    void setDelegate(std::weak_ptr<MPMediaPickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<MPMediaPickerControllerDelegate> delegate() const { return delegate_.lock(); }
    bool allowsPickingMultipleItems() const { return allowsPickingMultipleItems_; }
    void setAllowsPickingMultipleItems(bool allows) { allowsPickingMultipleItems_ = allows; }
    const std::string& prompt() const { return prompt_; }
    void setPrompt(const std::string& prompt) { prompt_ = prompt; }

    // What a row and the Cancel button do.
    void pick(const MPMediaItemPtr& item);
    void cancel();

private:
    MPMediaType mediaTypes_ = MPMediaTypeAnyAudio;
    std::weak_ptr<MPMediaPickerControllerDelegate> delegate_;
    bool allowsPickingMultipleItems_ = false;
    std::string prompt_;
};
