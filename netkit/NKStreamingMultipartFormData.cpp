#include "netkit/NKStreamingMultipartFormData.h"

#include "netkit/NKLocalizedString.h"
#include "netkit/NKURLResponseSerialization.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/UTType.h"
#include "platform/net/NSURLError.h"

#include <cstdio>
#include <random>

namespace {
const char* const kDefaultContentType = "application/octet-stream";

std::string makeBoundary() {
    std::random_device random;
    char text[32];
    std::snprintf(text, sizeof text, "Boundary+%08X%08X", static_cast<unsigned>(random()), static_cast<unsigned>(random()));
    return text;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

NKHTTPBodyPartHeaders fileHeaders(const std::string& name, const std::string& fileName, const std::string& mimeType) {
    return {{"Content-Disposition", "form-data; name=" + quoted(name) + "; filename=" + quoted(fileName)},
            {"Content-Type", mimeType}};
}

NSErrorPtr badFileURLError(const std::string& reason) {
    Value::Dictionary userInfo;
    userInfo[NSLocalizedFailureReasonErrorKey] = NKLocalizedString(reason);
    return NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorBadURL, std::move(userInfo));
}
} // namespace

std::string NKContentTypeForPathExtension(const std::string& extension) {
    std::string type = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, extension);
    std::string mime = UTTypeCopyPreferredTagWithClass(type, kUTTagClassMIMEType);
    return mime.empty() ? kDefaultContentType : mime;
}

NKStreamingMultipartFormData::NKStreamingMultipartFormData(const NSURLRequestPtr& request, NSStringEncoding encoding)
    : request_(request ? request->mutableCopy() : nullptr), stringEncoding_(encoding), boundary_(makeBoundary()),
      bodyStream_(std::make_shared<NKMultipartBodyStream>(encoding)) {}

bool NKStreamingMultipartFormData::appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, NSErrorPtr* error) {
    std::string fileName = fileURL ? fileURL->lastPathComponent() : std::string();
    std::string mimeType = NKContentTypeForPathExtension(fileURL ? fileURL->pathExtension() : std::string());
    return appendPartWithFileURL(fileURL, name, fileName, mimeType, error);
}

bool NKStreamingMultipartFormData::appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name,
                                                         const std::string& fileName, const std::string& mimeType,
                                                         NSErrorPtr* error) {
    if (!fileURL || !fileURL->isFileURL()) {
        if (error) *error = badFileURLError("Expected URL to be a file URL");
        return false;
    }
    auto fileManager = NSFileManager::defaultManager();
    if (!fileManager->fileExistsAtPath(fileURL->path())) {
        if (error) *error = badFileURLError("File URL not reachable.");
        return false;
    }
    auto attributes = fileManager->attributesOfItemAtPath(fileURL->path(), error);
    if (!attributes) return false;
    appendPart(fileHeaders(name, fileName, mimeType), fileURL, attributes->fileSize.value_or(0));
    return true;
}

void NKStreamingMultipartFormData::appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream,
                                                             const std::string& name, const std::string& fileName,
                                                             std::int64_t length, const std::string& mimeType) {
    appendPart(fileHeaders(name, fileName, mimeType), inputStream, static_cast<std::uint64_t>(length));
}

void NKStreamingMultipartFormData::appendPartWithFileData(const NSDataPtr& data, const std::string& name,
                                                          const std::string& fileName, const std::string& mimeType) {
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), data);
}

void NKStreamingMultipartFormData::appendPartWithFormData(const NSDataPtr& data, const std::string& name) {
    appendPartWithHeaders({{"Content-Disposition", "form-data; name=" + quoted(name)}}, data);
}

void NKStreamingMultipartFormData::appendPartWithHeaders(const NKHTTPBodyPartHeaders& headers, const NSDataPtr& body) {
    NSDataPtr data = body ? body : NSData::data();
    appendPart(headers, data, data->length());
}

void NKStreamingMultipartFormData::appendPart(NKHTTPBodyPartHeaders headers, NKHTTPBodyPart::Body body, std::uint64_t length) {
    bodyStream_->appendHTTPBodyPart(
        std::make_shared<NKHTTPBodyPart>(stringEncoding_, std::move(headers), boundary_, std::move(body), length));
}

void NKStreamingMultipartFormData::throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) {
    bodyStream_->setNumberOfBytesInPacket(numberOfBytes);
    bodyStream_->setDelay(delay);
}

NSURLRequestPtr NKStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (!request_ || bodyStream_->isEmpty()) return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_->setHTTPBodyStream(bodyStream_);
    request_->setValueForHTTPHeaderField("multipart/form-data; boundary=" + boundary_, "Content-Type");
    request_->setValueForHTTPHeaderField(std::to_string(bodyStream_->contentLength()), "Content-Length");
    return request_;
}
