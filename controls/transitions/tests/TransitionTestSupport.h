#pragma once
// A fold or flip between two coloured views of a container on the device's screen, on a manual
// clock, at a chosen screen scale.

#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/CAGradientLayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

#include <cmath>
#include <memory>
#include <optional>

class TransitionTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        clock_.emplace();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->makeKeyAndVisible();
        container_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
        window_->addSubview(container_);
    }
    void TearDown() override {
        drainMain();
        clock_.reset();
        UIApplication::sharedApplication()->reset();
        DeviceProfile::reset();
        DeviceTest::TearDown();
    }
    static void setScale(double scale) {
        DeviceProfile::update([&](DeviceProfile& p) { p.screenScale = scale; });
    }
    // A source of the size in the container, and a destination outside any view.
    void views(CGSize size) {
        source_ = std::make_shared<UIView>(CGRectMake(0, 0, size.width, size.height));
        source_->setBackgroundColor(UIColor::colorWithRed(1, 0, 0, 1));
        container_->addSubview(source_);
        destination_ = std::make_shared<UIView>(CGRectMake(0, 0, size.width, size.height));
        destination_->setBackgroundColor(UIColor::colorWithRed(0, 0, 1, 1));
    }
    // Empties the container for the next case.
    void clear() {
        auto views = container_->subviews();
        for (auto& v : views) v->removeFromSuperview();
    }
    void finish(double seconds) {
        clock_->advance(seconds);
        drainMain();
    }
    static std::shared_ptr<CALayer> sub(const std::shared_ptr<CALayer>& layer, std::size_t i) {
        return i < layer->sublayers().size() ? layer->sublayers()[i] : nullptr;
    }
    template <class A>
    static std::shared_ptr<A> only(const std::shared_ptr<CALayer>& layer) {
        auto all = layer->animations();
        return all.size() == 1 ? std::dynamic_pointer_cast<A>(all[0]) : nullptr;
    }
    static std::vector<double> numbers(const std::shared_ptr<CAKeyframeAnimation>& a) {
        std::vector<double> out;
        for (auto& v : a->values()) out.push_back(CAAnimationNumber(v).value_or(NAN));
        return out;
    }

    std::optional<ManualClock> clock_;
    std::shared_ptr<UIWindow> window_;
    UIViewPtr container_, source_, destination_;
};
