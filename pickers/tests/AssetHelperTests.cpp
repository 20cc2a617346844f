#include "pickers/assethelper/AssetHelper.h"

#include "platform/media/ALAssetRepresentation.h"
#include "platform/media/ALAssetsLibraryStore.h"
#include "platform/media/SampleMedia.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class AssetHelperTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        TestMediaLibrary::make();
        helper = std::make_shared<AssetHelper>();
    }

    std::vector<std::string> albumNames() {
        std::vector<std::string> names;
        bool answered = false;
        helper->getGroupList([&](const std::vector<ALAssetsGroupPtr>& groups) {
            for (const auto& group : groups) names.push_back(group->valueForProperty(ALAssetsGroupPropertyName).string());
            answered = true;
        });
        EXPECT_TRUE(runMainUntil([&] { return answered; }));
        return names;
    }

    static std::vector<std::string> urls(const std::vector<ALAssetPtr>& assets) {
        std::vector<std::string> out;
        for (const auto& asset : assets)
            out.push_back(asset->valueForProperty(ALAssetPropertyAssetURL).objectAs<NSURL>()->absoluteString());
        return out;
    }

    AssetHelperPtr helper;
};

// initAsset makes its empty save unless the system version sorts below "5" as a plain string.
TEST(AssetHelperVersion, TheSystemVersionIsComparedAsAString) {
    const struct {
        const char* version;
        bool saves;
    } cases[] = {
        {"8.1", true},    // '8' after '5'
        {"10.3", false},  // '1' before '5', though 10 is more than 5
        {"12.0", false},
        {"5", true},      // the same string is not lower
        {"5.0", true},    // longer with the same start sorts after
        {"4.3.2", false},
        {"", false},      // the empty string sorts first
        {"50", true},
    };
    for (const auto& c : cases) EXPECT_EQ(AssetHelper::systemVersionNotBelow(c.version, "5"), c.saves) << c.version;
}

TEST_F(AssetHelperTest, TheCameraRollLeadsTheAlbumListReversedOrNot) {
    ASSERT_TRUE(SampleMedia::writePhoto(std::string(ALAssetsLibraryStore::kAlbumsFolder) + "/Zoo/zebra.jpg", *SampleMedia::picture(64, 48, "Z"),
                                        SampleMedia::PhotoFormat::JPEG));
    EXPECT_EQ(albumNames(), (std::vector<std::string>{"Camera Roll", "Holidays", "Zoo"}));
    helper->bReverse = true;
    EXPECT_EQ(albumNames(), (std::vector<std::string>{"Camera Roll", "Zoo", "Holidays"}));
    EXPECT_EQ(helper->getGroupCount(), 3);
    auto info = helper->getGroupInfo(1);
    EXPECT_EQ(info["name"].string(), "Zoo");
    EXPECT_EQ(info["count"].integerValue(), 1);
    EXPECT_TRUE(info["thumbnail"].objectAs<UIImage>());
}

TEST_F(AssetHelperTest, PhotoListsHoldPhotosOnlyAndComeNewestFirstWhenReversed) {
    albumNames();
    std::vector<ALAssetPtr> oldestFirst;
    helper->getPhotoListOfGroupByIndex(0, [&](const std::vector<ALAssetPtr>& photos) { oldestFirst = photos; });
    ASSERT_EQ(oldestFirst.size(), 3u) << "the camera roll's three photos, without its videos";
    for (const auto& asset : oldestFirst) EXPECT_EQ(asset->valueForProperty(ALAssetPropertyType).string(), ALAssetTypePhoto);

    helper->bReverse = true;
    std::vector<ALAssetPtr> newestFirst;
    helper->getPhotoListOfGroup(helper->getGroupAtIndex(0), [&](const std::vector<ALAssetPtr>& photos) { newestFirst = photos; });
    auto expected = urls(oldestFirst);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(urls(newestFirst), expected);
    EXPECT_EQ(urls({helper->getAssetAtIndex(0)}), std::vector<std::string>{expected.front()});
}

TEST_F(AssetHelperTest, IndexesOutsideTheListsAndUnknownKindsGiveNothing) {
    albumNames();
    helper->getPhotoListOfGroupByIndex(0, nullptr);
    const long photos = helper->getPhotoCountOfCurrentGroup();
    ASSERT_EQ(photos, 3);
    for (long index : {-1L, photos, photos + 7}) {
        EXPECT_FALSE(helper->getAssetAtIndex(index)) << index;
        EXPECT_FALSE(helper->getImageAtIndex(index, AssetHelperImageThumbnail)) << index;
    }
    EXPECT_FALSE(helper->getGroupAtIndex(helper->getGroupCount()));
    EXPECT_TRUE(helper->getGroupInfo(-1).empty());
    bool listed = false;
    helper->getPhotoListOfGroupByIndex(99, [&](const std::vector<ALAssetPtr>&) { listed = true; });
    EXPECT_FALSE(listed);
    EXPECT_EQ(helper->getPhotoCountOfCurrentGroup(), photos) << "an unknown album leaves the photo list alone";

    for (long kind : {0L, 1L, 2L, 3L}) EXPECT_TRUE(helper->getImageAtIndex(0, kind)) << kind;
    for (long kind : {-1L, 4L, 5L}) EXPECT_FALSE(helper->getImageAtIndex(0, kind)) << kind;

    helper->clearData();
    EXPECT_EQ(helper->getGroupCount(), 0);
    EXPECT_EQ(helper->getPhotoCountOfCurrentGroup(), 0);
    EXPECT_FALSE(helper->getAssetAtIndex(0));
}

TEST_F(AssetHelperTest, FullResolutionImagesKeepTheRepresentationsOrientation) {
    albumNames();
    helper->getPhotoListOfGroupByIndex(0, nullptr);
    bool sawTurned = false;
    for (long i = 0; i < helper->getPhotoCountOfCurrentGroup(); ++i) {
        auto representation = helper->getAssetAtIndex(i)->defaultRepresentation();
        auto image = helper->getImageAtIndex(i, AssetHelperImageFullResolution);
        ASSERT_TRUE(image);
        EXPECT_EQ(static_cast<int>(image->imageOrientation()), static_cast<int>(representation->orientation()));
        EXPECT_EQ(image->CGImage()->width(), static_cast<std::size_t>(representation->dimensions().width));
        sawTurned = sawTurned || representation->orientation() != ALAssetOrientationUp;
        EXPECT_EQ(helper->getImageAtIndex(i, AssetHelperImageFullScreen)->imageOrientation(), UIImageOrientationUp);
    }
    EXPECT_TRUE(sawTurned) << "the library holds an EXIF-rotated photo";
}

TEST_F(AssetHelperTest, ACroppedImageIsLookedUpByURLAndNilForNoAsset) {
    albumNames();
    helper->getPhotoListOfGroupByIndex(0, nullptr);
    auto url = helper->getAssetAtIndex(0)->valueForProperty(ALAssetPropertyAssetURL).objectAs<NSURL>();
    EXPECT_TRUE(helper->getCroppedImage(url));
    EXPECT_FALSE(helper->getCroppedImage(NSURL::URLWithString("assets-library://asset/asset.JPG?id=none&ext=JPG")));
}

} // namespace
