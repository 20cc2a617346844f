#pragma once
// Dates as text in the English styles, in the local time zone: a date part and a time part, each
// in one of the platform's styles, joined by ", "; with relative formatting a date of yesterday,
// today or tomorrow (by the platform clock) reads "Yesterday", "Today" or "Tomorrow".

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

enum NSDateFormatterStyle : long {
    NSDateFormatterNoStyle = 0,
    NSDateFormatterShortStyle = 1,   // "12/10/26", "5:41 AM"
    NSDateFormatterMediumStyle = 2,  // "Dec 10, 2026", "5:41:07 AM"
    NSDateFormatterLongStyle = 3,    // "December 10, 2026", "5:41:07 AM GMT+1" (the zone's offset)
    NSDateFormatterFullStyle = 4,    // "Thursday, December 10, 2026", as long
};

class NSDateFormatter : public NSObject {
public:
    NSDateFormatterStyle dateStyle() const { return dateStyle_; }
    void setDateStyle(NSDateFormatterStyle style) { dateStyle_ = style; }
    NSDateFormatterStyle timeStyle() const { return timeStyle_; }
    void setTimeStyle(NSDateFormatterStyle style) { timeStyle_ = style; }
    bool doesRelativeDateFormatting() const { return relative_; }
    void setDoesRelativeDateFormatting(bool relative) { relative_ = relative; }

    std::string stringFromDate(const NSDate& date) const;
    std::string stringFromDate(const std::shared_ptr<NSDate>& date) const { return date ? stringFromDate(*date) : std::string(); }

private:
    std::string datePart(const NSDate& date) const;
    std::string timePart(const NSDate& date) const;

    NSDateFormatterStyle dateStyle_ = NSDateFormatterNoStyle;
    NSDateFormatterStyle timeStyle_ = NSDateFormatterNoStyle;
    bool relative_ = false;
};
