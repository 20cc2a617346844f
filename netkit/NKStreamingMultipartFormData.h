#pragma once
// Builds a multipart/form-data request whose body is streamed from its parts, never assembled in
// memory. Finalizing puts the body stream, the Content-Type with the boundary and the
// Content-Length on the request.

#include "netkit/NKMultipartBodyStream.h"
#include "netkit/NKMultipartFormData.h"
#include "platform/net/NSURLRequest.h"

class NKStreamingMultipartFormData : public NSObject, public NKMultipartFormData {
public:
    NKStreamingMultipartFormData(const NSURLRequestPtr& request, NSStringEncoding encoding);

    const NSURLRequestPtr& request() const { return request_; }
    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    // "Boundary+" and sixteen upper-case hexadecimal digits, drawn at creation.
    const std::string& boundary() const { return boundary_; }
    const std::shared_ptr<NKMultipartBodyStream>& bodyStream() const { return bodyStream_; }

    bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, NSErrorPtr* error) override;
    bool appendPartWithFileURL(const NSURLPtr& fileURL, const std::string& name, const std::string& fileName,
                               const std::string& mimeType, NSErrorPtr* error) override;
    void appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream, const std::string& name,
                                   const std::string& fileName, std::int64_t length, const std::string& mimeType) override;
    void appendPartWithFileData(const NSDataPtr& data, const std::string& name, const std::string& fileName,
                                const std::string& mimeType) override;
    void appendPartWithFormData(const NSDataPtr& data, const std::string& name) override;
    void appendPartWithHeaders(const NKHTTPBodyPartHeaders& headers, const NSDataPtr& body) override;
    void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) override;

    // The request with the body; untouched when nothing was appended.
    NSURLRequestPtr requestByFinalizingMultipartFormData();

private:
    void appendPart(NKHTTPBodyPartHeaders headers, NKHTTPBodyPart::Body body, std::uint64_t length);

    NSURLRequestPtr request_;
    NSStringEncoding stringEncoding_;
    std::string boundary_;
    std::shared_ptr<NKMultipartBodyStream> bodyStream_;
};

// The MIME type the type database gives a file-name extension, "application/octet-stream" when
// it knows none.
std::string NKContentTypeForPathExtension(const std::string& extension);
