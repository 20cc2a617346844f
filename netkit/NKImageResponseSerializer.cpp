#include "netkit/NKImageResponseSerializer.h"

#include "netkit/NKLocalizedString.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/CGBitmapContext.h"
#include "platform/net/NSURLError.h"
#include "platform/uikit/UIScreen.h"

namespace {
const char* const kImageScaleKey = "imageScale";
const char* const kInflatesKey = "automaticallyInflatesResponseImage";
const bool registeredNKImageResponseSerializer = (NSKeyedUnarchiver::registerClass<NKImageResponseSerializer>("NKImageResponseSerializer"), true);

// Decoding at once costs memory: only images up to this many pixels, of up to 8-bit components.
constexpr std::size_t kMaxInflatedPixels = 1024 * 1024;
constexpr std::size_t kMaxInflatedBitsPerComponent = 8;

// The form of the inflated bitmap: device RGB, the image's alpha made drawable.
CGBitmapInfo inflatedBitmapInfo(CGBitmapInfo info) {
    CGBitmapInfo alpha = info & kCGBitmapAlphaInfoMask;
    CGBitmapInfo rest = info & ~static_cast<CGBitmapInfo>(kCGBitmapAlphaInfoMask);
    switch (alpha) {
    case kCGImageAlphaNone: return rest | kCGImageAlphaNoneSkipFirst;
    case kCGImageAlphaNoneSkipFirst:
    case kCGImageAlphaNoneSkipLast: return info;
    default: return rest | kCGImageAlphaPremultipliedFirst;
    }
}

// The bitmap decoded straight from the data when its type allows; CMYK JPEGs go the general way.
CGImageRef directBitmap(const NSURLResponsePtr& response, const NSDataPtr& data) {
    if (!response) return nullptr;
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(data);
    if (response->MIMEType() == "image/png") {
        return CGImageCreateWithPNGDataProvider(provider, nullptr, true, kCGRenderingIntentDefault);
    }
    if (response->MIMEType() == "image/jpeg") {
        CGImageRef image = CGImageCreateWithJPEGDataProvider(provider, nullptr, true, kCGRenderingIntentDefault);
        if (image && CGColorSpaceGetModel(CGImageGetColorSpace(image)) == kCGColorSpaceModelCMYK) return nullptr;
        return image;
    }
    return nullptr;
}

UIImagePtr inflatedImage(const NSURLResponsePtr& response, const NSDataPtr& data, double scale) {
    if (!data || data->length() == 0) return nullptr;
    CGImageRef bitmap = directBitmap(response, data);
    UIImagePtr image = NKImageWithDataAtScale(data, scale);
    if (!bitmap) {
        if (!image) return nullptr;
        if (!image->images().empty()) return image;
        bitmap = CGImageCreateCopy(image->CGImage());
        if (!bitmap) return nullptr;
    }
    const std::size_t width = CGImageGetWidth(bitmap), height = CGImageGetHeight(bitmap);
    if (width * height > kMaxInflatedPixels || CGImageGetBitsPerComponent(bitmap) > kMaxInflatedBitsPerComponent) return image;
    CGContextRef context = CGBitmapContextCreate(nullptr, width, height, CGImageGetBitsPerComponent(bitmap), 0,
                                                 CGColorSpaceCreateDeviceRGB(), inflatedBitmapInfo(CGImageGetBitmapInfo(bitmap)));
    if (!context) return image;
    CGContextDrawImage(context, CGRectMake(0, 0, static_cast<CGFloat>(width), static_cast<CGFloat>(height)), bitmap);
    CGImageRef inflated = CGBitmapContextCreateImage(context);
    if (!inflated) return image;
    return UIImage::imageWithCGImage(inflated, scale, image ? image->imageOrientation() : UIImageOrientationUp);
}

NSErrorPtr undecodableImageError(const NSURLResponsePtr& response) {
    Value::Dictionary userInfo;
    userInfo[NSLocalizedDescriptionKey] = NSString::stringWithFormat(NKLocalizedString("Image data failed decoding as %@"),
                                                                     response ? response->MIMEType() : std::string());
    return NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorCannotDecodeContentData, std::move(userInfo));
}
} // namespace

UIImagePtr NKImageWithDataAtScale(const NSDataPtr& data, double scale) {
    if (!data) return nullptr;
    UIImagePtr decoded = UIImage::imageWithData(*data);
    if (!decoded) return nullptr;
    if (!decoded->images().empty()) {
        std::vector<UIImagePtr> frames;
        for (const auto& frame : decoded->images()) frames.push_back(UIImage::imageWithCGImage(frame->CGImage(), scale));
        return UIImage::animatedImageWithImages(std::move(frames), decoded->duration());
    }
    return UIImage::imageWithCGImage(decoded->CGImage(), scale, decoded->imageOrientation());
}

NKImageResponseSerializer::NKImageResponseSerializer() : imageScale_(UIScreen::mainScreen()->scale()) {
    setAcceptableContentTypes(std::set<std::string>{"image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico",
                                                    "image/x-icon", "image/bmp", "image/x-bmp", "image/x-xbitmap",
                                                    "image/x-win-bitmap"});
}

NKImageResponseSerializer::NKImageResponseSerializer(const NSCoder& coder) : NKHTTPResponseSerializer(coder) {
    imageScale_ = UIScreen::mainScreen()->scale();
    Value scale = coder.decodeObjectForKey(kImageScaleKey);
    // The scale comes back as a float, as it always has.
    if (scale.isNumber()) imageScale_ = static_cast<double>(static_cast<float>(scale.doubleValue()));
    automaticallyInflatesResponseImage_ = coder.decodeBoolForKey(kInflatesKey);
}

void NKImageResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObjectForKey(Value(imageScale_), kImageScaleKey);
    coder.encodeBoolForKey(automaticallyInflatesResponseImage_, kInflatesKey);
}

std::shared_ptr<NKImageResponseSerializer> NKImageResponseSerializer::serializer() {
    return std::make_shared<NKImageResponseSerializer>();
}

Value NKImageResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data,
                                                           NSErrorPtr* error) {
    if (refusesContentType(response, data, error)) return Value();
    if (!data || data->length() == 0) return Value();
    UIImagePtr image = automaticallyInflatesResponseImage_ ? inflatedImage(response, data, imageScale_)
                                                           : NKImageWithDataAtScale(data, imageScale_);
    if (!image) {
        // Bytes that are no image are a failure, never an empty success.
        if (error) *error = NKErrorWithUnderlyingError(undecodableImageError(response), *error);
        return Value();
    }
    return Value(image);
}

std::shared_ptr<NKHTTPResponseSerializer> NKImageResponseSerializer::makeEmpty() const {
    return std::make_shared<NKImageResponseSerializer>();
}

std::shared_ptr<NKHTTPResponseSerializer> NKImageResponseSerializer::copy() const {
    auto copy = std::make_shared<NKImageResponseSerializer>();
    copy->imageScale_ = imageScale_;
    copy->automaticallyInflatesResponseImage_ = automaticallyInflatesResponseImage_;
    return copy;
}
