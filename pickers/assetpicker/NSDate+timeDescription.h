#pragma once
// Clock-style texts of a time span ("1:15", "1:02:05"), as the asset grid writes a video's length.

#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSDate.h"

#include <memory>
#include <string>

namespace NSDate_timeDescription {
// The years, months, days, hours, minutes and seconds from now to t seconds later, in the
// current calendar.
std::shared_ptr<NSDateComponents> componetsWithTimeInterval(NSTimeInterval t);
// Whole seconds first (halves away from zero), then hours, minutes and seconds of them:
// "%ld:%02ld" below an hour, "%ld:%02ld:%02ld" from one on, however many hours. A negative or
// undefined span reads as none.
std::string timeDescriptionOfTimeInterval(NSTimeInterval t);
} // namespace NSDate_timeDescription
