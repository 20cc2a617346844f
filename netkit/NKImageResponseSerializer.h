#pragma once
// Turns an image body (PNG, JPEG, GIF) into a UIImage at the screen's scale, decoded into a
// bitmap at once (inflated) when that is cheap: up to 1024 × 1024 pixels of 8-bit components,
// and never for animated images.

#include "netkit/NKHTTPResponseSerializer.h"
#include "platform/uikit/UIImage.h"

class NKImageResponseSerializer : public NKHTTPResponseSerializer {
public:
    NKImageResponseSerializer();
    explicit NKImageResponseSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKImageResponseSerializer> serializer();

    double imageScale() const { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }
    bool automaticallyInflatesResponseImage() const { return automaticallyInflatesResponseImage_; }
    void setAutomaticallyInflatesResponseImage(bool on) { automaticallyInflatesResponseImage_ = on; }

    // A UIImage object. Null for a refused content type or an empty body; bytes that do not decode
    // give null and a -1016 error with any validation error beneath it.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

protected:
    std::shared_ptr<NKHTTPResponseSerializer> makeEmpty() const override;

private:
    double imageScale_;
    bool automaticallyInflatesResponseImage_ = true;
};

// The image the data decodes to, at the scale; nil when it does not decode.
UIImagePtr NKImageWithDataAtScale(const NSDataPtr& data, double scale);
