#include "platform/uikit/MKMapView.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIGraphics.h"

MKMapView::MKMapView(const CGRect& frame) : UIView(frame) {}

void MKMapView::setCamera(const std::shared_ptr<MKMapCamera>& camera) {
    if (!camera) return;
    camera_->setCenterCoordinate(camera->centerCoordinate());
    camera_->setAltitude(camera->altitude());
    camera_->setPitch(camera->pitch());
    camera_->setHeading(camera->heading());
}

void MKMapView::drawRect(const CGRect&) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    context->setFillColor(kTileRed / 255, kTileGreen / 255, kTileBlue / 255, 1);
    context->fillRect(bounds());
}

void MKMapView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    auto c = camera_->centerCoordinate();
    screen.addLine(NSString::stringWithFormat("map %g,%g altitude %g pitch %g", c.latitude, c.longitude, camera_->altitude(),
                                              camera_->pitch()));
}
