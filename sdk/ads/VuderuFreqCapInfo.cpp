#include "sdk/ads/VuderuFreqCapInfo.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"

#include <mutex>

VuderuFreqCapInfo::VuderuFreqCapInfo(const VuderuAdUnit& unit)
    : idHash(unit.idHash()), serveTime(unit.serveTime()), expirationTime(unit.expirationTime()), newCap(unit.newCap()),
      prevCap(unit.prevCap()), prevCapType(unit.prevCapType()) {}

std::shared_ptr<VuderuFreqCapInfo> VuderuFreqCapInfo::copy() const {
    auto info = std::make_shared<VuderuFreqCapInfo>();
    info->idHash = idHash;
    info->serveTime = serveTime;
    info->expirationTime = expirationTime;
    info->views = views;
    info->newCap = newCap;
    info->prevCap = prevCap;
    info->prevCapType = prevCapType;
    return info;
}

std::string VuderuFreqCapInfo::description() const {
    return NSString::stringWithFormat("idHash=%@, serveTime=%lld, expirationTime=%lld, views=%d, newCap=%d, prevCap=%d, prevCapType=%d", idHash,
                                      static_cast<long long>(serveTime), static_cast<long long>(expirationTime), views, newCap, prevCap,
                                      prevCapType);
}

void VuderuFreqCapInfo::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(Value(idHash), "idHash");
    coder.encodeInt64ForKey(serveTime, "serveTime");
    coder.encodeInt64ForKey(expirationTime, "expirationTime");
    coder.encodeInt32ForKey(views, "views");
    coder.encodeInt32ForKey(newCap, "newCap");
    coder.encodeInt32ForKey(prevCap, "prevCap");
    coder.encodeInt32ForKey(prevCapType, "prevCapType");
}

std::shared_ptr<VuderuFreqCapInfo> VuderuFreqCapInfo::initWithCoder(const NSCoder& coder) {
    Value hash = coder.decodeObjectForKey("idHash");
    if (!hash.isString() || hash.string().empty()) return nullptr;
    auto info = std::make_shared<VuderuFreqCapInfo>();
    info->idHash = hash.string();
    info->serveTime = coder.decodeInt64ForKey("serveTime");
    info->expirationTime = coder.decodeInt64ForKey("expirationTime");
    info->views = coder.decodeInt32ForKey("views");
    info->newCap = coder.decodeInt32ForKey("newCap");
    info->prevCap = coder.decodeInt32ForKey("prevCap");
    info->prevCapType = coder.decodeInt32ForKey("prevCapType");
    return info;
}

void VuderuFreqCapInfo::registerForCoding() {
    static std::once_flag once;
    std::call_once(once, [] {
        NSKeyedUnarchiver::registerClass("VuderuFreqCapInfo", [](const NSCoder& coder) -> std::shared_ptr<NSObject> { return initWithCoder(coder); });
    });
}
