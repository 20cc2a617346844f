#include "platform/media/ALAssetsGroup.h"
#include "platform/media/CIFilter.h"
#include "platform/media/SampleMedia.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

namespace {

class CIFilterTest : public DeviceTest {};

NSData text(const std::string& s) { return NSData(s.data(), s.size()); }

std::string cropXMP(const std::string& filterName, const std::string& rectangle) {
    return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description xmlns:aas=\"http://ns.example/adjustments/\"><aas:Filters><rdf:Seq>"
           "<rdf:li aas:filterName=\"" + filterName + "\" aas:inputRectangle=\"" + rectangle + "\"/>"
           "</rdf:Seq></aas:Filters></rdf:Description></rdf:RDF></x:xmpmeta>";
}

// A photo's sidecar crop, as the library hands it out, applied to its full-resolution bitmap.
TEST_F(CIFilterTest, ASidecarCropIsReadFromTheMetadataAndAppliedForReal) {
    ASSERT_TRUE(SampleMedia::writePhoto("/var/mobile/Media/Albums/Edits/Shot.JPG", *SampleMedia::picture(400, 200, "Edit"),
                                        SampleMedia::PhotoFormat::JPEG));
    // The red checker square (25 pixels) in the stored top-left corner; Core Image counts from the bottom.
    writeFile("/var/mobile/Media/Albums/Edits/Shot.XMP", cropXMP("CICrop", "[0 175 25 25]"));
    ALAssetPtr asset;
    ALAssetsGroup::albumNamed("Edits")->enumerateAssetsUsingBlock([&](const ALAssetPtr& a, unsigned long, bool*) {
        if (a) asset = a;
    });
    ASSERT_TRUE(asset);
    auto representation = asset->defaultRepresentation();
    auto metadata = representation->metadata();
    ASSERT_TRUE(metadata.count("AdjustmentXMP"));
    auto image = CIImage::imageWithCGImage(representation->fullResolutionImage());
    NSErrorPtr error;
    auto filters = CIFilter::filterArrayFromSerializedXMP(text(metadata["AdjustmentXMP"].string()), image->extent(), &error);
    EXPECT_FALSE(error);
    ASSERT_EQ(filters.size(), 1u);
    filters[0]->setInputImage(image);
    auto cropped = filters[0]->outputImage()->CGImage();
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->width(), 25);
    EXPECT_EQ(cropped->height(), 25);
    auto pixel = cropped->pixelAt(12, 12);
    EXPECT_GT(pixel.red, 200);
    EXPECT_LT(pixel.green, 60);
}

TEST_F(CIFilterTest, FiltersThatCannotBeAppliedAndBrokenXMPAreErrors) {
    struct Case {
        std::string name, xmp;
        std::size_t filters;
    };
    const Case cases[] = {
        {"a colour filter", cropXMP("CIVibrance", "0 0 1 1"), 0},
        {"a crop without a rectangle", cropXMP("CICrop", "wide"), 0},
        {"not XML", "<x:xmpmeta", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        auto filters = CIFilter::filterArrayFromSerializedXMP(text(c.xmp), CGRectMake(0, 0, 10, 10), &error);
        EXPECT_EQ(filters.size(), c.filters);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), kCIErrorDomain);
    }
    EXPECT_FALSE(CIFilter::filterWithName("CISepiaTone"));
}

} // namespace
