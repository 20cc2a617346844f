#include "app/support/VTVersion.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSLog.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLConnection.h"
#include "platform/uikit/UIApplication.h"

#include <vector>

namespace {
constexpr const char* kTrackURLFormat = "%@/track/%@";
constexpr NSTimeInterval kServiceTimeout = 60;
constexpr long kStatusOK = 200;
constexpr const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The text split at every ASCII letter (a text without letters is one part).
std::vector<std::string> partsBetweenLetters(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (std::string_view(kLetters).find(c) != std::string_view::npos) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

VTVersionPtr invalid() {
    NSLog("VTVersionTracker :: Attempted to created invalid version");
    return nullptr;
}
} // namespace

VTVersion::VTVersion(std::string versionString, std::string installUrl, bool mandatory)
    : versionString_(std::move(versionString)), installUrl_(std::move(installUrl)), mandatory_(mandatory) {}

VTVersionPtr VTVersion::initWithDictionary(const Value& dictionary) {
    if (!dictionary.isDictionary()) return invalid();
    const Value& number = dictionary["number"];
    const Value& installUrl = dictionary["install_url"];
    const Value& mandatory = dictionary["mandatory"];
    if (number.isNull()) return invalid();
    // A value of the wrong type is a record the service did not mean to send.
    if (!(installUrl.isNull() || installUrl.isString()) || !(mandatory.isNull() || mandatory.isNumber())) return invalid();
    const bool isMandatory = mandatory.isNumber() && mandatory.doubleValue() == 1;
    return std::make_shared<VTVersion>(NSString::stringWithFormat("%@", number), installUrl.isString() ? installUrl.string() : "",
                                       isMandatory);
}

VTVersionPtr VTVersion::versionFromServiceReply(std::string_view body) {
    auto reply = NSJSONSerialization::JSONObjectWithData(body);
    if (!reply || !reply->isDictionary()) return nullptr;
    const Value& version = (*reply)["version"];
    return version.isNull() ? nullptr : initWithDictionary(version);
}

VTVersionPtr VTVersion::latestRemoteVersionForChannelWithBaseUrl(const std::string& channel, const std::string& baseUrl) {
    if (channel.empty() || baseUrl.empty()) return nullptr;
    auto url = NSURL::URLWithString(NSString::stringWithFormat(kTrackURLFormat, baseUrl, channel));
    if (!url) return nullptr;
    auto request = NSURLRequest::requestWithURL(url, NSURLRequestReloadIgnoringLocalCacheData, kServiceTimeout);
    NSURLResponsePtr response;
    NSErrorPtr error;
    auto body = NSURLConnection::sendSynchronousRequest(request, &response, &error);
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    if (!body || error || !http || http->statusCode() != kStatusOK || body->length() == 0) return nullptr;
    return versionFromServiceReply(body->stringView());
}

VTVersionPtr VTVersion::currentLocalVersion() {
    Value bundleVersion = NSBundle::mainBundle()->objectForInfoDictionaryKey(kCFBundleVersionKey);
    return std::make_shared<VTVersion>(bundleVersion.isNull() ? "0" : NSString::stringWithFormat("%@", bundleVersion), "", false);
}

NSComparisonResult VTVersion::compare(const VTVersion& other) const {
    const auto mine = partsBetweenLetters(versionString_);
    const auto theirs = partsBetweenLetters(other.versionString_);
    // A lettered version ("1.2b") comes before the plain version it starts with ("1.2").
    if (mine.size() > 1 && theirs.size() == 1 && VTVersion(mine.front(), "", false).compare(other) == NSOrderedSame)
        return NSOrderedAscending;
    if (theirs.size() > 1 && mine.size() == 1 && compare(VTVersion(theirs.front(), "", false)) == NSOrderedSame)
        return NSOrderedDescending;
    return NSString::compareNumeric(versionString_, other.versionString_);
}

bool VTVersion::install() const {
    if (!installUrl_.empty()) {
        if (auto url = NSURL::URLWithString(installUrl_)) UIApplication::sharedApplication()->openURL(url);
    }
    return false;
}
