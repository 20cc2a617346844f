#pragma once
// The one-line JSON schemas of the ad and ad-log protocols, the contract with the vendor's
// servers. Defaults stand exactly as the servers' schemas write them ("null" for strings and
// records, [] for a map or a record), which Avro C takes unchecked.

#include <string>

namespace VuderuAdProtocolSchemas {

// Ad request, namespace com.vuderu.adServer.networking.protocol.v10; the records it declares
// inline at their first use are also given alone.
const std::string& adRequest();
const std::string& adReportedIdV10();
const std::string& location();
const std::string& adViewContainer();
const std::string& testAds();
const std::string& frequencyCapInfo();
const std::string& targetingOverride();

// Ad response, namespace com.vuderu.adServer.networking.protocol.v10.
const std::string& adResponse();
const std::string& adUnit();
const std::string& adFrame();
const std::string& callback();
const std::string& adSpaceLayout();
const std::string& configuration();
const std::string& screenOrientationType();

// Ad-log request (namespace ...v2) and response (namespace ...v1).
const std::string& sdkLogRequest();
const std::string& sdkAdLog();
const std::string& sdkAdEvent();
const std::string& adReportedIdV2();
const std::string& sdkLogResponse();

} // namespace VuderuAdProtocolSchemas
