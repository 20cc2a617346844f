#pragma once
// What the block that builds a multipart request may append: file contents, streams, data and
// form fields, each as one part of the body; and a throttle on how fast the body is read.

#include "netkit/NKHTTPBodyPart.h"
#include "platform/foundation/NSError.h"

#include <cstdint>
#include <string>

class NKMultipartFormData {
public:
    virtual ~NKMultipartFormData() = default;
    // The file's name and a MIME type from its extension; false (and *error) when no part was added.
    virtual bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, NSErrorPtr* error) = 0;
    virtual bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, const std::string& fileName,
                                       const std::string& mimeType, NSErrorPtr* error) = 0;
    virtual void appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream, const std::string& name,
                                           const std::string& fileName, std::int64_t length, const std::string& mimeType) = 0;
    virtual void appendPartWithFileData(const NSDataPtr& data, const std::string& name, const std::string& fileName,
                                        const std::string& mimeType) = 0;
    virtual void appendPartWithFormData(const NSDataPtr& data, const std::string& name) = 0;
    virtual void appendPartWithHeaders(const NKHTTPBodyPartHeaders& headers, const NSDataPtr& body) = 0;
    virtual void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) = 0;
};
