#include "platform/net/NSURLSessionConfiguration.h"

#include "platform/foundation/NSKeyedUnarchiver.h"

namespace {

const bool registeredNSURLSessionConfiguration = (NSKeyedUnarchiver::registerClass<NSURLSessionConfiguration>("NSURLSessionConfiguration"), true);

} // namespace

NSURLSessionConfigurationPtr NSURLSessionConfiguration::defaultSessionConfiguration() {
    (void)registeredNSURLSessionConfiguration;
    return std::make_shared<NSURLSessionConfiguration>();
}

NSURLSessionConfigurationPtr NSURLSessionConfiguration::backgroundSessionConfiguration(const std::string& identifier) {
    (void)registeredNSURLSessionConfiguration;
    auto configuration = std::make_shared<NSURLSessionConfiguration>();
    configuration->identifier_ = identifier;
    configuration->background_ = true;
    return configuration;
}

NSURLSessionConfigurationPtr NSURLSessionConfiguration::copy() const {
    auto copy = std::make_shared<NSURLSessionConfiguration>();
    copy->identifier_ = identifier_;
    copy->background_ = background_;
    copy->timeoutForRequest_ = timeoutForRequest_;
    copy->additionalHeaders_ = additionalHeaders_;
    copy->allowsCellularAccess_ = allowsCellularAccess_;
    return copy;
}

NSURLSessionConfiguration::NSURLSessionConfiguration(const NSCoder& coder)
    : identifier_(coder.decodeObjectForKey("identifier").stringValue()), background_(coder.decodeBoolForKey("background")),
      timeoutForRequest_(coder.decodeDoubleForKey("timeoutIntervalForRequest")),
      allowsCellularAccess_(coder.decodeBoolForKey("allowsCellularAccess")) {
    Value headers = coder.decodeObjectForKey("HTTPAdditionalHeaders");
    if (headers.isDictionary()) {
        for (const auto& [name, value] : headers.dictionary()) additionalHeaders_.emplace(name, value.stringValue());
    }
}

void NSURLSessionConfiguration::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(identifier_, "identifier");
    coder.encodeBoolForKey(background_, "background");
    coder.encodeDoubleForKey(timeoutForRequest_, "timeoutIntervalForRequest");
    coder.encodeBoolForKey(allowsCellularAccess_, "allowsCellularAccess");
    Value::Dictionary headers;
    for (const auto& [name, value] : additionalHeaders_) headers[name] = value;
    coder.encodeObjectForKey(headers, "HTTPAdditionalHeaders");
}

bool NSURLSessionConfiguration::isEqual(const NSObject* other) const {
    const auto* that = dynamic_cast<const NSURLSessionConfiguration*>(other);
    return that && that->identifier_ == identifier_ && that->background_ == background_ &&
           that->timeoutForRequest_ == timeoutForRequest_ && that->additionalHeaders_ == additionalHeaders_ &&
           that->allowsCellularAccess_ == allowsCellularAccess_;
}

std::string NSURLSessionConfiguration::description() const {
    return "<NSURLSessionConfiguration: " + (background_ ? "background " + identifier_ : std::string("default")) + ">";
}
