#include "controls/transitions/FTFlipSegue.h"

#include "controls/transitions/FTSegueChecks.h"
#include "controls/transitions/FTTransition.h"
#include "controls/transitions/UINavigationController+FTFlipTransition.h"
#include "controls/transitions/UIViewController+FTFlipTransition.h"
#include "platform/foundation/NSException.h"

FTFlipSegue::FTFlipSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                         const std::shared_ptr<UIViewController>& destination)
    : UIStoryboardSegue(std::move(identifier), source, destination) {
    doInit();
}

void FTFlipSegue::perform() {
    throw NSException(kFTIncompleteImplementation, "FTFlipSegue must be subclassed and the perform method implemented.");
}

FTFlipNavPopSegue::FTFlipNavPopSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                                     const std::shared_ptr<UIViewController>& destination)
    : FTFlipSegue(std::move(identifier), source, destination) {
    doInit();
}

void FTFlipModalSegue::perform() {
    UIViewController_FTFlipTransition::presentViewControllerFlipStyleCompletion(sourceViewController(),
                                                                                destinationViewController(), style(), nullptr);
}

void FTFlipNavPushSegue::perform() {
    auto nav = FTCheckNavigationSegue("FTFlipNavPushSegue", sourceViewController(), false);
    UINavigationController_FTFlipTransition::pushViewControllerFlipStyle(nav, destinationViewController(), style());
}

void FTFlipNavPopSegue::perform() {
    auto nav = FTCheckNavigationSegue("FTFlipNavPopSegue", sourceViewController(), true);
    UINavigationController_FTFlipTransition::popViewControllerWithFlipStyle(nav, style());
}
