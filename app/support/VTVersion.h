#pragma once
// One release of the app: its version text, the address that installs it and whether updating
// is mandatory, with the ordering between versions ("1.2b" before "1.2", "1.9" before "1.10").

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <string>
#include <string_view>

class VTVersion;
using VTVersionPtr = std::shared_ptr<VTVersion>;

class VTVersion : public NSObject {
public:
    VTVersion(std::string versionString, std::string installUrl, bool mandatory);

    // A record from the version service's "version" object; nil (and a log line) when it is not
    // a dictionary with a "number", or a value has the wrong type.
    static VTVersionPtr initWithDictionary(const Value& dictionary);
    // The latest record of a channel from the service at `baseUrl` ("%@/track/%@"), or nil.
    static VTVersionPtr latestRemoteVersionForChannelWithBaseUrl(const std::string& channel, const std::string& baseUrl);
    // The record in a reply body of the version service (a JSON object with "version"), or nil.
    static VTVersionPtr versionFromServiceReply(std::string_view body);
    // The running app's record: the main bundle's "CFBundleVersion", "0" when it has none.
    static VTVersionPtr currentLocalVersion();

    // This record against another: NSOrderedAscending when this one is older.
    NSComparisonResult compare(const VTVersion& other) const;
    // Asks the application to open the install address when there is one; always false.
    bool install() const;

    const std::string& versionString() const { return versionString_; }
    const std::string& descriptionText() const { return descriptionText_; }
    const std::string& installUrl() const { return installUrl_; }
    bool mandatory() const { return mandatory_; }

    std::string description() const override { return versionString_; }

private:
    std::string versionString_;
    std::string descriptionText_;
    std::string installUrl_;
    bool mandatory_ = false;
};
