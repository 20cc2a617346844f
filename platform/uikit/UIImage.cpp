#include "platform/uikit/UIImage.h"

#include "platform/graphics/CGImageDecoding.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIGraphics.h"

#include <map>
#include <mutex>

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
    if (!bitmap) return nullptr;
    std::string stem = NSString::stringByDeletingPathExtension(NSString::lastPathComponent(path));
    CGFloat scale = NSString::hasSuffix(stem, "@2x") ? 2 : 1;
    return std::make_shared<UIImage>(bitmap, scale, "");
}

UIImagePtr UIImage::imageWithData(const NSData& data, CGFloat scale) {
    auto frames = CGImageDecoding::framesOfImageData(data.bytes(), data.length());
    if (frames.empty()) return nullptr;
    if (frames.size() == 1) return std::make_shared<UIImage>(frames.front().image, scale, "");
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

CGSize UIImage::size() const { return {image_->width() / scale_, image_->height() / scale_}; }

void UIImage::drawInRect(const CGRect& rect) const {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    context->drawImage(rect, *image_);
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
