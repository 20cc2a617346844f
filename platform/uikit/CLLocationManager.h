#pragma once
// Location: the device's position as the driver sets it ("location LAT LON [HACC VACC]") and the
// managers that report it to their delegates while they are updating. Updates reach delegates on
// the thread that sets the position (the main thread). CLLocation is also registered for run-time
// lookup under the name "CLLocation".

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

struct CLLocationCoordinate2D {
    double latitude = 0;
    double longitude = 0;
};

class CLLocation : public NSObject {
public:
    static constexpr const char* kClassName = "CLLocation";
    // initWithCoordinate:altitude:horizontalAccuracy:verticalAccuracy:timestamp:
    CLLocation(CLLocationCoordinate2D coordinate, double altitude, double horizontalAccuracy, double verticalAccuracy,
               std::shared_ptr<NSDate> timestamp);
    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    double altitude() const { return altitude_; }
    double horizontalAccuracy() const { return horizontalAccuracy_; }
    double verticalAccuracy() const { return verticalAccuracy_; }
    const std::shared_ptr<NSDate>& timestamp() const { return timestamp_; }

private:
    CLLocationCoordinate2D coordinate_;
    double altitude_;
    double horizontalAccuracy_;
    double verticalAccuracy_;
    std::shared_ptr<NSDate> timestamp_;
};

class CLLocationManager;

class CLLocationManagerDelegate {
public:
    virtual ~CLLocationManagerDelegate() = default;
    virtual void locationManagerDidUpdateLocations(CLLocationManager& manager, const std::vector<std::shared_ptr<CLLocation>>& locations) = 0;
};

class CLLocationManager : public NSObject {
public:
    void setDelegate(std::weak_ptr<CLLocationManagerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<CLLocationManagerDelegate> delegate() const { return delegate_.lock(); }
    // Reports every later position of the device to the delegate.
    void startUpdatingLocation();
    void stopUpdatingLocation();
    // The device's last known position; nil before any.
    std::shared_ptr<CLLocation> location() const;

    // The device's side: the device is now at this position.
    static void deviceDidUpdateLocation(const std::shared_ptr<CLLocation>& location);
    // Back to no position and no updating managers (tests).
    static void reset();

private:
    std::weak_ptr<CLLocationManagerDelegate> delegate_;
};
