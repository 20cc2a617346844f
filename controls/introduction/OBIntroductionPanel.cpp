#include "controls/introduction/OBIntroductionPanel.h"

#include "platform/uikit/UIImageView.h"

namespace {
constexpr CGFloat kPictureCornerRadius = 3;
} // namespace

std::shared_ptr<OBIntroductionPanel> OBIntroductionPanel::initWithimageTitleDescription(const UIImagePtr& image,
                                                                                       const std::string& title,
                                                                                       const std::string& description) {
    auto panel = std::make_shared<OBIntroductionPanel>();
    panel->setupPanelContentViewWithImage(image);
    panel->Title_ = title;
    panel->Description_ = description;
    return panel;
}

std::shared_ptr<OBIntroductionPanel> OBIntroductionPanel::initWithimageDescription(const UIImagePtr& image,
                                                                                  const std::string& description) {
    return initWithimageTitleDescription(image, "", description);
}

std::shared_ptr<OBIntroductionPanel> OBIntroductionPanel::initWithContentView(const UIViewPtr& view) {
    auto panel = std::make_shared<OBIntroductionPanel>();
    if (view) view->setClipsToBounds(true);
    panel->PanelContentView_ = view;
    return panel;
}

void OBIntroductionPanel::setupPanelContentViewWithImage(const UIImagePtr& image) {
    auto view = std::make_shared<UIImageView>(image);
    view->setContentMode(UIViewContentModeScaleAspectFit);
    view->setBackgroundColor(UIColor::clearColor());
    view->layer()->setCornerRadius(kPictureCornerRadius);
    view->setClipsToBounds(true);
    PanelContentView_ = view;
}
