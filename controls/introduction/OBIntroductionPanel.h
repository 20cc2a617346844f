#pragma once
// One page of the onboarding view: a picture (or any view), a bold title and a lighter text.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

class OBIntroductionPanel : public NSObject {
public:
    static std::shared_ptr<OBIntroductionPanel> initWithimageTitleDescription(const UIImagePtr& image, const std::string& title,
                                                                              const std::string& description);
    // No title: the description follows the picture.
    static std::shared_ptr<OBIntroductionPanel> initWithimageDescription(const UIImagePtr& image, const std::string& description);
    // A view of the caller's, clipped to its bounds; no title and no description.
    static std::shared_ptr<OBIntroductionPanel> initWithContentView(const UIViewPtr& view);

    const UIViewPtr& PanelContentView() const { return PanelContentView_; }
    void setPanelContentView(UIViewPtr view) { PanelContentView_ = std::move(view); }
    // The empty string means no title.
    const std::string& Title() const { return Title_; }
    void setTitle(std::string title) { Title_ = std::move(title); }
    const std::string& Description() const { return Description_; }
    void setDescription(std::string text) { Description_ = std::move(text); }

    // An image view the image's size: aspect fit, clear, corners rounded by 3 points.
    void setupPanelContentViewWithImage(const UIImagePtr& image);

private:
    UIViewPtr PanelContentView_;
    std::string Title_;
    std::string Description_;
};
