#include "controls/transitions/FTSegueChecks.h"

#include "controls/transitions/FTTransition.h"
#include "platform/foundation/NSException.h"

std::shared_ptr<UINavigationController> FTCheckNavigationSegue(const std::string& segueClass,
                                                               const std::shared_ptr<UIViewController>& source, bool pops) {
    auto nav = source ? source->navigationController() : nullptr;
    if (!nav)
        throw NSException(kFTInvalidOperation, segueClass + " can only be performed on a child controller of a UINavigationController.");
    auto visible = nav->visibleViewController();
    if (!visible || !visible->isEqual(source.get()))
        throw NSException(kFTInvalidOperation,
                          segueClass + " can only be performed from the current visibleViewController of a UINavigationController.");
    if (pops && nav->viewControllers().size() < 2)
        throw NSException(kFTInvalidOperation,
                          "UINavigationController parent must have at least 2 child controllers in its stack.  Otherwise no pop "
                          "can be performed.");
    return nav;
}
