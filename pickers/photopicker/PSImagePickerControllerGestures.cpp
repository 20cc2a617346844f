// The photo picker's moving parts: the jump buttons and their fades, selection by dragging across
// the grid, the preview opened by a long press and closed by dragging it away, and the screen text.
#include "pickers/photopicker/PSImagePickerController.h"

#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIScreenDescription.h"

#include <cmath>

namespace {
constexpr double kGestureSlide = 0.2;
constexpr CGFloat kShowUpAfter = 50;

// Edges included, at single precision, as the cells' frames are compared.
bool holds(const CGRect& frame, CGPoint p) {
    const float x = static_cast<float>(p.x), y = static_cast<float>(p.y);
    return x >= static_cast<float>(CGRectGetMinX(frame)) && x <= static_cast<float>(CGRectGetMaxX(frame)) &&
           y >= static_cast<float>(CGRectGetMinY(frame)) && y <= static_cast<float>(CGRectGetMaxY(frame));
}

bool running(UIGestureRecognizerState state) {
    return state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged;
}
} // namespace

void PSImagePickerController::onTapOnDimmedView(UIGestureRecognizer& tap) {
    if (tap.state() != UIGestureRecognizerStateEnded) return;
    hideBottomMenu();
    if (ivPreview) hidePreview();
}

void PSImagePickerController::onUp() { cvPhotoList->scrollToItemAtIndexPath({0, 0}, UICollectionViewScrollPositionTop, true); }

void PSImagePickerController::onDown() {
    const long count = AssetHelper::sharedAssetHelper()->getPhotoCountOfCurrentGroup();
    if (count > 0) cvPhotoList->scrollToItemAtIndexPath({0, count - 1}, UICollectionViewScrollPositionTop, true);
}

void PSImagePickerController::scrollViewDidScroll(UIScrollView& scrollView) {
    if (&scrollView != cvPhotoList.get()) return;
    auto self = me();
    UIView::animateWithDuration(kGestureSlide, [self] {
        const CGFloat y = self->cvPhotoList->contentOffset().y;
        self->btUp->setAlpha(y > kShowUpAfter ? 1 : 0);
        const bool below = y + self->cvPhotoList->frame().size.height < self->cvPhotoList->contentSize().height;
        self->btDown->setAlpha(below ? 1 : 0);
    });
}

bool PSImagePickerController::gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) {
    if (&recognizer != selectionPan_.get()) return true;
    // Sideways selects; up and down is the grid's scrolling.
    const CGPoint t = selectionPan_->translationInView(view());
    return std::fabs(t.x) > std::fabs(t.y);
}

bool PSImagePickerController::gestureRecognizerShouldRecognizeSimultaneouslyWith(UIGestureRecognizer& recognizer, UIGestureRecognizer& other) {
    return &recognizer == selectionPan_.get() && &other == cvPhotoList->panGestureRecognizer().get();
}

void PSImagePickerController::onPanForSelection(UIGestureRecognizer& pan) {
    if (ivPreview) return;
    // The finger selects rather than scrolls until it lifts.
    if (pan.state() == UIGestureRecognizerStateBegan) cvPhotoList->setScrollEnabled(false);
    const CGPoint p = pan.locationInView(cvPhotoList);
    for (const auto& indexPath : cvPhotoList->indexPathsForVisibleItems()) {
        auto cell = cvPhotoList->cellForItemAtIndexPath(indexPath);
        if (!cell || !holds(cell->frame(), p)) continue;
        if (lastAccessed != indexPath) toggleItem(indexPath);
        lastAccessed = indexPath;
    }
    if (!running(pan.state())) {
        lastAccessed.reset();
        cvPhotoList->setScrollEnabled(true);
    }
}

void PSImagePickerController::onLongTapForPreview(UIGestureRecognizer& press) {
    if (press.state() != UIGestureRecognizerStateBegan || ivPreview) return;
    const CGPoint inGrid = press.locationInView(cvPhotoList);
    const CGPoint inView = press.locationInView(view());
    if (CGRectContainsPoint(vBottomMenu->frame(), inView)) return;
    for (const auto& jump : {btDown, btUp})
        if (jump->alpha() == 1 && CGRectContainsPoint(jump->frame(), inView)) return;
    for (const auto& indexPath : cvPhotoList->indexPathsForVisibleItems()) {
        auto cell = cvPhotoList->cellForItemAtIndexPath(indexPath);
        if (cell && holds(cell->frame(), inGrid)) return showPreview(indexPath.item());
    }
}

void PSImagePickerController::showPreview(long index) {
    view()->bringSubviewToFront(vDimmed);
    ivPreview = std::make_shared<UIImageView>(vDimmed->frame());
    ivPreview->setContentMode(UIViewContentModeScaleAspectFit);
    ivPreview->setAutoresizingMask(vDimmed->autoresizingMask());
    vDimmed->addSubview(ivPreview);
    ivPreview->setImage(AssetHelper::sharedAssetHelper()->getImageAtIndex(index, AssetHelperImageFullScreen));
    vDimmed->addGestureRecognizer(std::make_shared<UIPanGestureRecognizer>(me(), [](PSImagePickerController& picker, UIGestureRecognizer& g) {
        picker.onPanToClosePreview(static_cast<UIPanGestureRecognizer&>(g));
    }));
    auto self = me();
    UIView::animateWithDuration(kGestureSlide, [self] { self->vDimmed->setAlpha(1); });
}

void PSImagePickerController::onPanToClosePreview(UIPanGestureRecognizer& pan) {
    if (!ivPreview) return;
    const CGFloat height = view()->frame().size.height;
    const CGRect backdrop = vDimmed->bounds();
    const CGPoint middle = CGPointMake(CGRectGetMidX(backdrop), CGRectGetMidY(backdrop));
    if (running(pan.state())) {
        CGPoint centre = ivPreview->center();
        centre.y += pan.translationInView(view()).y;
        ivPreview->setCenter(centre);
        pan.setTranslationInView(CGPointZero, view());
        vDimmed->setAlpha(1 - std::fabs(centre.y - middle.y) / (height * 0.5));
        return;
    }
    auto self = me();
    auto preview = ivPreview;
    // Let go far enough, the preview slides off the way it was dragged; otherwise it snaps back.
    const bool away = pan.state() == UIGestureRecognizerStateEnded && vDimmed->alpha() < 0.7;
    UIView::animateWithDuration(
        kGestureSlide, 0, 0,
        [self, preview, away, middle, height] {
            if (!away) {
                self->vDimmed->setAlpha(1);
                preview->setCenter(middle);
                return;
            }
            CGPoint centre = preview->center();
            if (centre.y > middle.y) centre.y = 1.5 * height;
            else if (centre.y < middle.y) centre.y = -1.5 * height;
            preview->setCenter(centre);
        },
        [self, preview, away](bool) {
            // Unless the preview was closed meanwhile (a tap on the backdrop).
            if (away && self->ivPreview == preview) self->hidePreview();
        });
}

void PSImagePickerController::hidePreview() {
    view()->bringSubviewToFront(tvAlbumList);
    view()->bringSubviewToFront(vBottomMenu);
    if (ivPreview) ivPreview->removeFromSuperview();
    ivPreview = nullptr;
    vDimmed->setAlpha(0);
    // The preview's pan: the backdrop's own tap stays.
    auto recognizers = vDimmed->gestureRecognizers();
    if (recognizers.size() > 1) vDimmed->removeGestureRecognizer(recognizers.back());
}

void PSImagePickerController::describeToScreen(UIScreenDescription& screen) {
    std::string bar = "bar:";
    for (const auto& item : vBottomMenu->subviews()) {
        if (item->isHidden()) continue;
        if (auto button = std::dynamic_pointer_cast<UIButton>(item)) {
            bar += " [" + button->currentTitle() + "]" + (button->isEnabled() ? "" : " (disabled)");
        } else if (auto label = std::dynamic_pointer_cast<UILabel>(item)) {
            bar += " " + label->text();
        }
    }
    screen.addLine(bar);
    std::string jumps;
    for (const auto& jump : {btUp, btDown})
        if (jump->alpha() == 1) jumps += " [" + jump->currentTitle() + "]";
    if (!jumps.empty()) screen.addLine("jump:" + jumps);
    if (isAlbumListOpen()) screen.addLine("albums: open");
    if (ivPreview) {
        auto image = ivPreview->image();
        char text[96] = "preview: no image";
        if (image)
            std::snprintf(text, sizeof text, "preview: image %g\u00d7%g @%g", image->size().width, image->size().height, image->scale());
        screen.addLine(text);
    }
    UIViewController::describeToScreen(screen);
}
