#pragma once
// Core Image as far as saved photo edits need it: an image over a bitmap (its extent with the
// origin at the bottom left, as Core Image measures), the crop filter applied for real, and the
// reading of the filter list a photo's adjustment XMP holds. The XMP lists each filter as an
// element with a "filterName" attribute and its inputs as further attributes ("inputRectangle"
// as "X Y W H" or "[X Y W H]"), in any namespace.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

inline constexpr char kCIInputImageKey[] = "inputImage";
inline constexpr char kCIErrorDomain[] = "CIErrorDomain";

class CIImage;
using CIImagePtr = std::shared_ptr<CIImage>;

class CIImage : public NSObject {
public:
    CIImage(CGImageRef bitmap, CGRect extent) : bitmap_(std::move(bitmap)), extent_(extent) {}
    // nil for no bitmap.
    static CIImagePtr imageWithCGImage(const CGImageRef& bitmap);
    CGRect extent() const { return extent_; }
    // The part within the rectangle (Core Image coordinates), the extent becoming the overlap.
    CIImagePtr imageByCroppingToRect(const CGRect& rect) const;
    // The pixels of the extent as a bitmap; nil for an empty extent.
    CGImageRef CGImage() const;

private:
    CGImageRef bitmap_;
    CGRect extent_; // within the bitmap's own rectangle
};

class CIFilter;
using CIFilterPtr = std::shared_ptr<CIFilter>;

class CIFilter : public NSObject {
public:
    explicit CIFilter(std::string name) : name_(std::move(name)) {}
    // "CICrop"; nil for any filter this platform cannot apply.
    static CIFilterPtr filterWithName(const std::string& name);
    // The filters the XMP serializes, in order. A filter this platform cannot apply, or XMP that
    // does not parse, sets the error; the array holds the filters that could be read.
    static std::vector<CIFilterPtr> filterArrayFromSerializedXMP(const NSData& xmp, CGRect inputImageExtent, NSErrorPtr* error);

    const std::string& name() const { return name_; }
    void setInputImage(const CIImagePtr& image) { input_ = image; }
    void setRectangle(const std::string& key, CGRect rect) { rectangles_[key] = rect; }
    // The input cropped to "inputRectangle"; nil without an input.
    CIImagePtr outputImage() const;

private:
    std::string name_;
    CIImagePtr input_;
    std::map<std::string, CGRect> rectangles_;
};
