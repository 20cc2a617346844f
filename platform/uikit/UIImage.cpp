#include "platform/uikit/UIImage.h"

#include "platform/graphics/CGImageDecoding.h"
#include "platform/graphics/CGImageEncoding.h"
#include "platform/graphics/CGImageProperties.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIGraphics.h"

#include <map>
#include <mutex>

namespace {
UIImageOrientation orientationOfImageData(const std::uint8_t* bytes, std::size_t length) {
    if (CGImageDecoding::typeOfImageData(bytes, length) != CGImageDecoding::ImageType::JPEG) return UIImageOrientationUp;
    return UIImageOrientationFromEXIF(CGImageProperties::propertiesOfImageData(bytes, length).orientation);
}
} // namespace

UIImage::UIImage(CGImageRef image, CGFloat scale, std::string name)
    : image_(std::move(image)), scale_(scale > 0 ? scale : 1), name_(std::move(name)) {}

UIImagePtr UIImage::imageNamed(const std::string& name) {
    if (name.empty()) return nullptr;
    std::string base = NSString::hasSuffix(name, ".png") ? NSString::stringByDeletingPathExtension(name) : name;
    // Bundle images are read once and shared, as the platform caches them.
    static std::mutex cacheLock;
    static std::map<std::string, UIImagePtr> cache;
    {
        std::lock_guard<std::mutex> guard(cacheLock);
        auto it = cache.find(base);
        if (it != cache.end()) return it->second;
    }
    auto image = loadBundleImage(base);
    if (image) {
        std::lock_guard<std::mutex> guard(cacheLock);
        cache[base] = image;
    }
    return image;
}

UIImagePtr UIImage::loadBundleImage(const std::string& base) {
    auto bundle = NSBundle::mainBundle();
    for (CGFloat scale : {2.0, 1.0}) {
        std::string resource = scale > 1 ? base + "@2x" : base;
        auto path = bundle->pathForResource(resource, "png");
        if (path.empty()) continue;
        if (auto bitmap = CGImage::createWithPNGFile(NSString::fileSystemRepresentation(path)))
            return std::make_shared<UIImage>(bitmap, scale, base);
    }
    return nullptr;
}

UIImagePtr UIImage::imageWithContentsOfFile(const std::string& path) {
    auto bitmap = CGImage::createWithPNGFile(NSString::fileSystemRepresentation(path));
    if (!bitmap) {
        auto data = NSData::dataWithContentsOfFile(path);
        return data ? imageWithData(*data) : nullptr;
    }
    std::string stem = NSString::stringByDeletingPathExtension(NSString::lastPathComponent(path));
    CGFloat scale = NSString::hasSuffix(stem, "@2x") ? 2 : 1;
    return std::make_shared<UIImage>(bitmap, scale, "");
}

UIImagePtr UIImage::imageWithData(const NSData& data, CGFloat scale) {
    auto frames = CGImageDecoding::framesOfImageData(data.bytes(), data.length());
    if (frames.empty()) return nullptr;
    if (frames.size() == 1)
        return imageWithCGImage(frames.front().image, scale, orientationOfImageData(data.bytes(), data.length()));
    std::vector<UIImagePtr> images;
    double duration = 0;
    for (const auto& frame : frames) {
        images.push_back(std::make_shared<UIImage>(frame.image, scale, ""));
        duration += frame.delay;
    }
    return animatedImageWithImages(std::move(images), duration);
}

UIImagePtr UIImage::imageWithCGImage(CGImageRef image, CGFloat scale, UIImageOrientation orientation) {
    if (!image) return nullptr;
    auto made = std::make_shared<UIImage>(std::move(image), scale, "");
    made->orientation_ = orientation;
    return made;
}

UIImagePtr UIImage::animatedImageWithImages(std::vector<UIImagePtr> images, double duration) {
    if (images.empty() || !images.front()) return nullptr;
    auto animated = std::make_shared<UIImage>(images.front()->CGImage(), images.front()->scale(), "");
    animated->images_ = std::move(images);
    animated->duration_ = duration;
    return animated;
}

namespace {
bool turnsSideways(UIImageOrientation o) {
    return o == UIImageOrientationLeft || o == UIImageOrientationRight || o == UIImageOrientationLeftMirrored ||
           o == UIImageOrientationRightMirrored;
}

// From the bitmap's points to the shown image's, for an image shown W by H points.
CGAffineTransform orientationTransform(UIImageOrientation o, CGFloat w, CGFloat h) {
    switch (o) {
    case UIImageOrientationUp: return {1, 0, 0, 1, 0, 0};
    case UIImageOrientationDown: return {-1, 0, 0, -1, w, h};
    case UIImageOrientationLeft: return {0, -1, 1, 0, 0, h};
    case UIImageOrientationRight: return {0, 1, -1, 0, w, 0};
    case UIImageOrientationUpMirrored: return {-1, 0, 0, 1, w, 0};
    case UIImageOrientationDownMirrored: return {1, 0, 0, -1, 0, h};
    case UIImageOrientationLeftMirrored: return {0, 1, 1, 0, 0, 0};
    case UIImageOrientationRightMirrored: return {0, -1, -1, 0, w, h};
    }
    return {};
}
} // namespace

// The size as shown: an image turned a quarter has its sides swapped.
CGSize UIImage::size() const {
    CGFloat w = image_->width() / scale_, h = image_->height() / scale_;
    if (turnsSideways(orientation_)) return {h, w};
    return {w, h};
}

std::shared_ptr<UIImage> UIImage::resizableImageWithCapInsets(const UIEdgeInsets& insets) const {
    auto copy = std::make_shared<UIImage>(image_, scale_, name_);
    copy->capInsets_ = insets;
    return copy;
}

namespace {
// Nine pieces: each cap keeps its size, the middle row and column stretch.
void drawNinePieces(CGContext& context, const CGImage& image, CGFloat scale, const UIEdgeInsets& caps, const CGRect& rect) {
    CGFloat sw = image.width() / scale, sh = image.height() / scale;
    CGFloat sx[4] = {0, caps.left, sw - caps.right, sw}, sy[4] = {0, caps.top, sh - caps.bottom, sh};
    CGFloat r = CGRectGetMaxX(rect), b = CGRectGetMaxY(rect);
    CGFloat dx[4] = {rect.origin.x, rect.origin.x + caps.left, r - caps.right, r};
    CGFloat dy[4] = {rect.origin.y, rect.origin.y + caps.top, b - caps.bottom, b};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            CGFloat pw = sx[col + 1] - sx[col], ph = sy[row + 1] - sy[row];
            CGFloat qw = dx[col + 1] - dx[col], qh = dy[row + 1] - dy[row];
            if (pw <= 0 || ph <= 0 || qw <= 0 || qh <= 0) continue;
            // The whole image scaled so that the piece lands on its place, clipped to that place.
            context.saveGState();
            context.clipToRect(CGRectMake(dx[col], dy[row], qw, qh));
            CGFloat fx = qw / pw, fy = qh / ph;
            context.drawImage(CGRectMake(dx[col] - sx[col] * fx, dy[row] - sy[row] * fy, sw * fx, sh * fy), image);
            context.restoreGState();
        }
}
} // namespace

void UIImage::drawInRect(const CGRect& rect) const {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    if (orientation_ != UIImageOrientationUp && capInsets_ == UIEdgeInsetsZero) {
        // Drawn turned (or mirrored) as the orientation says, into the rectangle as shown.
        auto shown = size();
        context->saveGState();
        context->translateCTM(rect.origin.x, rect.origin.y);
        context->scaleCTM(rect.size.width / shown.width, rect.size.height / shown.height);
        context->concatCTM(orientationTransform(orientation_, shown.width, shown.height));
        context->drawImage(CGRectMake(0, 0, image_->width() / scale_, image_->height() / scale_), *image_);
        context->restoreGState();
    } else if (capInsets_ == UIEdgeInsetsZero) {
        context->drawImage(rect, *image_);
    } else drawNinePieces(*context, *image_, scale_, capInsets_, CGRectStandardize(rect));
    UIGraphicsNoteDrawnImageName(name_);
}

void UIImage::drawAtPoint(CGPoint point) const {
    auto s = size();
    drawInRect(CGRectMake(point.x, point.y, s.width, s.height));
}

std::string UIImage::description() const {
    auto s = size();
    return NSString::stringWithFormat("<UIImage: %@ {%g, %g} @%gx>", name_.empty() ? std::string("drawn") : name_, s.width,
                                      s.height, scale_);
}

NSDataPtr UIImagePNGRepresentation(const UIImagePtr& image) {
    if (!image) return nullptr;
    return std::make_shared<NSData>(image->CGImage()->pngData());
}

NSDataPtr UIImageJPEGRepresentation(const UIImagePtr& image, double compressionQuality) {
    if (!image || !image->CGImage()) return nullptr;
    auto bytes = CGImageEncoding::jpegData(*image->CGImage(), compressionQuality,
                                           UIImageOrientationToEXIF(image->imageOrientation()));
    if (bytes.empty()) return nullptr;
    return std::make_shared<NSData>(std::move(bytes));
}

namespace {
// Indexed by EXIF's number less one.
constexpr UIImageOrientation kEXIFOrientations[] = {
    UIImageOrientationUp,          UIImageOrientationUpMirrored,    UIImageOrientationDown,
    UIImageOrientationDownMirrored, UIImageOrientationLeftMirrored, UIImageOrientationRight,
    UIImageOrientationRightMirrored, UIImageOrientationLeft};
} // namespace

UIImageOrientation UIImageOrientationFromEXIF(int exifOrientation) {
    if (exifOrientation < 1 || exifOrientation > 8) return UIImageOrientationUp;
    return kEXIFOrientations[exifOrientation - 1];
}

int UIImageOrientationToEXIF(UIImageOrientation orientation) {
    for (int i = 0; i < 8; ++i)
        if (kEXIFOrientations[i] == orientation) return i + 1;
    return 1;
}
