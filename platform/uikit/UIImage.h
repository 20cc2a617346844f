#pragma once
// Images: a bitmap with a scale, sized in points. Bundle images come from the main bundle as PNG
// files ("name@2x.png" preferred, at scale 2).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIGeometry.h"

#include <memory>
#include <string>

#include <vector>

class UIImage;
using UIImagePtr = std::shared_ptr<UIImage>;

enum UIImageOrientation : int {
    UIImageOrientationUp = 0,
    UIImageOrientationDown = 1,
    UIImageOrientationLeft = 2,
    UIImageOrientationRight = 3,
    UIImageOrientationUpMirrored = 4,
    UIImageOrientationDownMirrored = 5,
    UIImageOrientationLeftMirrored = 6,
    UIImageOrientationRightMirrored = 7,
};

class UIImage : public NSObject {
public:
    UIImage(CGImageRef image, CGFloat scale, std::string name);

    // nil when the bundle has no such image.
    static UIImagePtr imageNamed(const std::string& name);
    // A device path; nil when it is not an image imageWithData: reads ("@2x" PNGs at scale 2).
    static UIImagePtr imageWithContentsOfFile(const std::string& path);
    // PNG, JPEG, HEIC or GIF bytes (a GIF of several frames gives an animated image); nil for
    // anything else, damaged data or a bitmap beyond the decoders' pixel bound. A JPEG's EXIF
    // orientation becomes the image's orientation; its bitmap stays as stored.
    static UIImagePtr imageWithData(const NSData& data, CGFloat scale = 1);
    static UIImagePtr imageWithCGImage(CGImageRef image, CGFloat scale = 1,
                                       UIImageOrientation orientation = UIImageOrientationUp);
    // An image that shows the frames in turn over the duration; its own bitmap is the first frame's.
    static UIImagePtr animatedImageWithImages(std::vector<UIImagePtr> images, double duration);

    CGSize size() const;
    CGFloat scale() const { return scale_; }
    const CGImageRef& CGImage() const { return image_; }
    UIImageOrientation imageOrientation() const { return orientation_; }
    // The frames of an animated image; empty for a still one.
    const std::vector<UIImagePtr>& images() const { return images_; }
    double duration() const { return duration_; }
    // The bundle name the image was loaded under; an image drawn from bundle images carries
    // their names joined by "+". The headless screen shows images by these names.
    const std::string& name() const { return name_; }

    // The same image drawn with its corners (the insets, in points) kept and the middle stretched.
    std::shared_ptr<UIImage> resizableImageWithCapInsets(const UIEdgeInsets& insets) const;
    const UIEdgeInsets& capInsets() const { return capInsets_; }

    // Draws into the current image context, stretched over the rectangle.
    void drawInRect(const CGRect& rect) const;
    void drawAtPoint(CGPoint point) const;

    std::string description() const override;

private:
    static UIImagePtr loadBundleImage(const std::string& base);

    CGImageRef image_;
    CGFloat scale_;
    std::string name_;
    UIImageOrientation orientation_ = UIImageOrientationUp;
    std::vector<UIImagePtr> images_;
    double duration_ = 0;
    UIEdgeInsets capInsets_;
};

// The image as PNG bytes.
NSDataPtr UIImagePNGRepresentation(const UIImagePtr& image);
// The image as JPEG bytes (quality 0–1): the bitmap as stored, its orientation written as EXIF.
NSDataPtr UIImageJPEGRepresentation(const UIImagePtr& image, double compressionQuality);

// EXIF's orientation numbers (1–8) and the image orientations they stand for.
UIImageOrientation UIImageOrientationFromEXIF(int exifOrientation);
int UIImageOrientationToEXIF(UIImageOrientation orientation);
