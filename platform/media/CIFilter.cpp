#include "platform/media/CIFilter.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/NSXMLParser.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>

namespace {
constexpr char kCropFilter[] = "CICrop";
constexpr char kRectangleKey[] = "inputRectangle";

std::string localName(const std::string& name) {
    const auto cut = name.find_last_of(": ");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::optional<CGRect> parseRectangle(std::string text) {
    for (char& c : text)
        if (c == '[' || c == ']' || c == ',') c = ' ';
    double x, y, w, h;
    if (std::sscanf(text.c_str(), "%lf %lf %lf %lf", &x, &y, &w, &h) != 4 || !std::isfinite(x + y + w + h)) return std::nullopt;
    return CGRectMake(x, y, w, h);
}

class FilterListReader : public NSXMLParserDelegate {
public:
    std::vector<CIFilterPtr> filters;
    std::vector<std::string> unsupported;

    void parserDidStartElement(NSXMLParser&, const std::string&, const std::string&, const std::string&,
                               const std::map<std::string, std::string>& attributes) override {
        std::map<std::string, std::string> named;
        for (const auto& [key, value] : attributes) named[localName(key)] = value;
        auto it = named.find("filterName");
        if (it == named.end()) return;
        auto filter = CIFilter::filterWithName(it->second);
        auto rectangle = named.count(kRectangleKey) ? parseRectangle(named[kRectangleKey]) : std::nullopt;
        if (!filter || !rectangle) {
            unsupported.push_back(it->second);
            return;
        }
        filter->setRectangle(kRectangleKey, *rectangle);
        filters.push_back(filter);
    }
};
} // namespace

CIImagePtr CIImage::imageWithCGImage(const CGImageRef& bitmap) {
    if (!bitmap) return nullptr;
    return std::make_shared<CIImage>(bitmap, CGRectMake(0, 0, bitmap->width(), bitmap->height()));
}

CIImagePtr CIImage::imageByCroppingToRect(const CGRect& rect) const {
    return std::make_shared<CIImage>(bitmap_, CGRectIntersection(extent_, CGRectStandardize(rect)));
}

CGImageRef CIImage::CGImage() const {
    const int width = static_cast<int>(std::lround(extent_.size.width)), height = static_cast<int>(std::lround(extent_.size.height));
    auto out = CGImage::createWithSize(width, height);
    if (!out) return nullptr;
    // Core Image counts rows from the bottom; the bitmap from the top.
    const double top = bitmap_->height() - (extent_.origin.y + extent_.size.height);
    cairo_t* cr = cairo_create(out->surface());
    cairo_set_source_surface(cr, bitmap_->surface(), -extent_.origin.x, -top);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(out->surface());
    return out;
}

CIFilterPtr CIFilter::filterWithName(const std::string& name) {
    return name == kCropFilter ? std::make_shared<CIFilter>(name) : nullptr;
}

CIImagePtr CIFilter::outputImage() const {
    if (!input_) return nullptr;
    auto it = rectangles_.find(kRectangleKey);
    return it == rectangles_.end() ? input_ : input_->imageByCroppingToRect(it->second);
}

std::vector<CIFilterPtr> CIFilter::filterArrayFromSerializedXMP(const NSData& xmp, CGRect, NSErrorPtr* error) {
    auto reader = std::make_shared<FilterListReader>();
    NSXMLParser parser(std::make_shared<NSData>(xmp.bytes(), xmp.length()));
    parser.setShouldProcessNamespaces(true);
    parser.setDelegate(reader);
    const bool parsed = parser.parse();
    if (error) {
        if (!parsed)
            *error = NSError::errorWithDomain(kCIErrorDomain, 1, {{"NSLocalizedDescription", "The adjustment data could not be read."}});
        else if (!reader->unsupported.empty())
            *error = NSError::errorWithDomain(
                kCIErrorDomain, 2, {{"NSLocalizedDescription", "Unsupported filter " + reader->unsupported.front() + "."}});
    }
    return reader->filters;
}
