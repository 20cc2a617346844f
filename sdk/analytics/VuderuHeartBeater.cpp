#include "sdk/analytics/VuderuHeartBeater.h"

#include "platform/foundation/NSNotificationCenter.h"

#include <mutex>

namespace {
std::mutex& heartBeaterClassLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<VuderuHeartBeater> gInstance;
} // namespace

std::shared_ptr<VuderuHeartBeater> VuderuHeartBeater::createAndStartInstance(NSTimeInterval seconds) {
    std::lock_guard<std::mutex> guard(heartBeaterClassLock());
    if (!gInstance) {
        gInstance = std::make_shared<VuderuHeartBeater>();
        gInstance->start(seconds);
    }
    return gInstance;
}

std::shared_ptr<VuderuHeartBeater> VuderuHeartBeater::instance() {
    std::lock_guard<std::mutex> guard(heartBeaterClassLock());
    return gInstance;
}

VuderuHeartBeater::~VuderuHeartBeater() {
    if (timer_) timer_->invalidate();
}

void VuderuHeartBeater::start(NSTimeInterval seconds) {
    if (timer_) timer_->invalidate();
    std::weak_ptr<VuderuHeartBeater> weak = self<VuderuHeartBeater>();
    timer_ = NSTimer::scheduledTimerWithTimeInterval(seconds, true, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto beater = weak.lock()) beater->heartBeat();
    });
}

void VuderuHeartBeater::heartBeat() { NSNotificationCenter::defaultCenter()->postNotificationName(VuderuHeartBeatNotification); }
