#pragma once
// Where the app's outside servers are: the video site's hosts and the maker's site, in one place.
// Page addresses are always matched against the video site's own host names; the requests go to
// the site's hosts over plain HTTP, or, when TANDREL_VIDEO_SITE names an http(s) origin, all of
// them to that origin (a test's or a mirror's). TANDREL_MAKER_SITE moves the version service and
// the bookmarklet installer the same way; TANDREL_PROBE_URL replaces the public page the app
// fetches to see whether it is online. The variables are read once, at start-up.

#include <string>

namespace TDSites {

// The video site's host names.
inline constexpr const char* kVideoShortLinkHost = "youtu.be";
inline constexpr const char* kVideoWebHost = "www.youtube.com";
inline constexpr const char* kVideoAPIHost = "youtube.googleapis.com";
inline constexpr const char* kVideoImageHost = "img.youtube.com";
inline constexpr const char* kVideoDataFeedHost = "gdata.youtube.com";
// The maker's web site.
inline constexpr const char* kMakerSiteHost = "harborstack.org";

// Origins ("scheme://host[:port]") the requests go to.
std::string videoInformationOrigin();
std::string videoImageOrigin();
std::string videoDataFeedOrigin();
std::string makerSiteOrigin();

// The version service's base address (the maker's site and "/Tandrel", no trailing slash).
std::string versionServiceBaseURL();
// The bookmarklet installer page on the maker's site.
std::string bookmarkletInstallerURL();

// Reads TANDREL_VIDEO_SITE and TANDREL_MAKER_SITE; a value that is not an http(s) origin is
// logged and ignored. Called once at start-up.
void loadFromEnvironment();
// Points the video site's requests (or the maker's site) at an origin; an empty text restores the
// production hosts. False, changing nothing, when the text is not an http(s) origin.
bool setVideoSiteOrigin(const std::string& origin);
bool setMakerSiteOrigin(const std::string& origin);

// "scheme://host[:port]" for an http or https origin (a trailing "/" allowed), else empty.
std::string normalizedOrigin(const std::string& text);

// The maker's pages, which the app only hands to the system (never fetches).
inline constexpr const char* kMakerHandle = "quorrelhub";
inline constexpr const char* kMakerHomePage = "http://harborstack.org/";
// The maker's profile on Twitter's web site, and on its mobile site.
inline constexpr const char* kMakerTwitterProfile = "https://twitter.com/quorrelhub";
inline constexpr const char* kMakerMobileTwitterProfile = "https://mobile.twitter.com/quorrelhub";
// The app's page on the package store's web site.
inline constexpr const char* kPackagePage = "http://cydia.harborstack.org/package/org.harborstack.tandrel";
// The well-known public page whose answer tells that the device is online.
inline constexpr const char* kReachabilityProbePage = "https://www.google.com/";

// The public page fetched to see whether the device is online.
std::string reachabilityProbeURL();
// Any http(s) URL with a host; an empty text restores the public page. False, changing nothing,
// for anything else.
bool setReachabilityProbeURL(const std::string& url);

} // namespace TDSites
