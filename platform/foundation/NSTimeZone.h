#pragma once
// Time zones: only the local one, named as the host names it. The TZ environment variable is
// honoured at every call (":Europe/Paris" and "Europe/Paris" alike); without it the zone that
// /etc/localtime links to, else "GMT".

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

class NSTimeZone : public NSObject {
public:
    explicit NSTimeZone(std::string name) : name_(std::move(name)) {}
    static std::shared_ptr<NSTimeZone> localTimeZone();
    const std::string& name() const { return name_; }

private:
    std::string name_;
};
