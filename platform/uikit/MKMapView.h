#pragma once
// A map view: no tiles are fetched here. It keeps where it is centred and its camera (so tests and
// the screen can read them) and draws one plain tile.

#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/UIView.h"

#include <memory>

// The viewpoint over the map: the point looked at, the height above it in metres, the tilt from
// straight down and the compass heading, in degrees.
class MKMapCamera : public NSObject {
public:
    CLLocationCoordinate2D centerCoordinate() const { return centerCoordinate_; }
    void setCenterCoordinate(CLLocationCoordinate2D c) { centerCoordinate_ = c; }
    double altitude() const { return altitude_; }
    void setAltitude(double altitude) { altitude_ = altitude; }
    double pitch() const { return pitch_; }
    void setPitch(double pitch) { pitch_ = pitch; }
    double heading() const { return heading_; }
    void setHeading(double heading) { heading_ = heading; }

private:
    CLLocationCoordinate2D centerCoordinate_{};
    double altitude_ = 0;
    double pitch_ = 0;
    double heading_ = 0;
};

class MKMapViewDelegate {
public:
    virtual ~MKMapViewDelegate() = default;
};

class MKMapView : public UIView {
public:
    // The plain tile's colour.
    static constexpr double kTileRed = 242, kTileGreen = 239, kTileBlue = 233;

    explicit MKMapView(const CGRect& frame);

    std::shared_ptr<MKMapViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<MKMapViewDelegate>& delegate) { delegate_ = delegate; }
    // Moving the centre moves the camera's too.
    CLLocationCoordinate2D centerCoordinate() const { return camera_->centerCoordinate(); }
    void setCenterCoordinate(CLLocationCoordinate2D coordinate) { camera_->setCenterCoordinate(coordinate); }
    // The camera is the map's own: changes to it show at once.
    const std::shared_ptr<MKMapCamera>& camera() const { return camera_; }
    void setCamera(const std::shared_ptr<MKMapCamera>& camera);
    bool showsBuildings() const { return showsBuildings_; }
    void setShowsBuildings(bool shows) { showsBuildings_ = shows; }

    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    // A line "map LAT,LON altitude A pitch P".
    void describeToScreen(UIScreenDescription& screen) override;

private:
    std::weak_ptr<MKMapViewDelegate> delegate_;
    std::shared_ptr<MKMapCamera> camera_ = std::make_shared<MKMapCamera>();
    bool showsBuildings_ = false;
};
