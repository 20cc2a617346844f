#include "controls/transitions/FTFoldSegue.h"

#include "controls/transitions/FTSegueChecks.h"
#include "controls/transitions/UINavigationController+FTFoldTransition.h"
#include "controls/transitions/UIViewController+FTFoldTransition.h"

FTFoldSegue::FTFoldSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                         const std::shared_ptr<UIViewController>& destination)
    : UIStoryboardSegue(std::move(identifier), source, destination) {
    doInit();
}

FTFoldNavPopSegue::FTFoldNavPopSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                                     const std::shared_ptr<UIViewController>& destination)
    : FTFoldSegue(std::move(identifier), source, destination) {
    doInit();
}

void FTFoldModalSegue::perform() {
    UIViewController_FTFoldTransition::presentViewControllerFoldStyleCompletion(sourceViewController(),
                                                                                destinationViewController(), style(), nullptr);
}

void FTFoldNavPushSegue::perform() {
    auto nav = FTCheckNavigationSegue("FTFoldNavPushSegue", sourceViewController(), false);
    UINavigationController_FTFoldTransition::pushViewControllerFoldStyle(nav, destinationViewController(), style());
}

void FTFoldNavPopSegue::perform() {
    auto nav = FTCheckNavigationSegue("FTFoldNavPopSegue", sourceViewController(), true);
    UINavigationController_FTFoldTransition::popViewControllerWithFoldStyle(nav, style());
}
