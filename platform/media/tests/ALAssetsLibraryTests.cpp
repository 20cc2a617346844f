#include "platform/foundation/NSNotificationCenter.h"
#include "platform/media/ALAssetsLibrary.h"
#include "platform/media/SampleMedia.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

class ALAssetsLibraryTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        TestMediaLibrary::make();
        // Made once the device is in place: the change watch follows the device of the first library.
        library = std::make_unique<ALAssetsLibrary>();
    }

    // Every group of the types, as the enumeration delivers them; fails unless it ends with nil.
    std::vector<ALAssetsGroupPtr> groups(ALAssetsGroupType types = ALAssetsGroupAll) {
        std::vector<ALAssetsGroupPtr> delivered;
        bool ended = false;
        library->enumerateGroupsWithTypesUsingBlockFailureBlock(
            types, [&](const ALAssetsGroupPtr& group, bool*) { group ? delivered.push_back(group) : void(ended = true); },
            [](const NSErrorPtr&) { ADD_FAILURE() << "no access"; });
        EXPECT_FALSE(ended) << "groups arrive later, on the main loop";
        EXPECT_TRUE(runMainUntil([&] { return ended; }));
        return delivered;
    }

    static std::vector<ALAssetPtr> assetsOf(const ALAssetsGroupPtr& group) {
        std::vector<ALAssetPtr> assets;
        group->enumerateAssetsUsingBlock([&](const ALAssetPtr& asset, unsigned long, bool*) {
            if (asset) assets.push_back(asset);
        });
        return assets;
    }

    std::unique_ptr<ALAssetsLibrary> library;
};

std::string urlOf(const ALAssetPtr& asset) {
    return asset->valueForProperty(ALAssetPropertyAssetURL).objectAs<NSURL>()->absoluteString();
}

TEST_F(ALAssetsLibraryTest, TheCameraRollAndEachAlbumFolderAreGroupsWithTheirFiltersCounts) {
    auto all = groups();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->valueForProperty(ALAssetsGroupPropertyName).string(), "Camera Roll");
    EXPECT_EQ(all[0]->valueForProperty(ALAssetsGroupPropertyType).integerValue(), 16);
    EXPECT_EQ(all[1]->valueForProperty(ALAssetsGroupPropertyName).string(), "Holidays");
    EXPECT_EQ(all[1]->valueForProperty(ALAssetsGroupPropertyType).integerValue(), 2);
    EXPECT_EQ(groups(ALAssetsGroupSavedPhotos).size(), 1u);
    EXPECT_EQ(groups(ALAssetsGroupAlbum | ALAssetsGroupEvent).size(), 1u);

    struct Case {
        ALAssetsFilterPtr filter;
        long count;
    };
    for (const Case& c : {Case{ALAssetsFilter::allAssets(), 5}, Case{ALAssetsFilter::allPhotos(), 3}, Case{ALAssetsFilter::allVideos(), 2}}) {
        all[0]->setAssetsFilter(c.filter);
        EXPECT_EQ(all[0]->numberOfAssets(), c.count);
        EXPECT_EQ(static_cast<long>(assetsOf(all[0]).size()), c.count);
    }
    auto poster = all[1]->posterImage();
    ASSERT_TRUE(poster);
    EXPECT_EQ(poster->width(), 150);
}

TEST_F(ALAssetsLibraryTest, AssetsRunOldestFirstWithStableURLsAndNewObjectsEachTime) {
    auto roll = groups(ALAssetsGroupSavedPhotos).at(0);
    auto first = assetsOf(roll), second = assetsOf(roll);
    std::vector<std::string> names;
    for (const auto& asset : first) names.push_back(asset->defaultRepresentation()->filename());
    // EXIF date, then the videos' creation times, then the modification times of the undated ones.
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0001.JPG", "IMG_0004.MOV", "IMG_0005.MP4", "IMG_0002.PNG", "IMG_0003.HEIC"}));
    ASSERT_EQ(second.size(), first.size());
    EXPECT_NE(first[0], second[0]);
    EXPECT_EQ(urlOf(first[0]), urlOf(second[0]));
    EXPECT_EQ(urlOf(first[0]).rfind("assets-library://asset/asset.JPG?id=", 0), 0u) << urlOf(first[0]);
    EXPECT_NE(urlOf(first[0]), urlOf(first[1]));

    std::vector<std::string> reversed;
    roll->enumerateAssetsWithOptionsUsingBlock(NSEnumerationReverse, [&](const ALAssetPtr& asset, unsigned long index, bool* stop) {
        if (!asset) return;
        reversed.push_back(asset->defaultRepresentation()->filename());
        EXPECT_EQ(index, 4 - (reversed.size() - 1));
        if (reversed.size() == 2) *stop = true;
    });
    EXPECT_EQ(reversed, (std::vector<std::string>{"IMG_0003.HEIC", "IMG_0002.PNG"}));
}

TEST_F(ALAssetsLibraryTest, PhotosAndVideosTellTheirPropertiesAndImages) {
    auto assets = assetsOf(groups(ALAssetsGroupSavedPhotos).at(0));
    const auto& turned = assets.at(0);
    EXPECT_EQ(turned->valueForProperty(ALAssetPropertyType).string(), ALAssetTypePhoto);
    EXPECT_EQ(turned->valueForProperty(ALAssetPropertyDuration).string(), ALErrorInvalidProperty);
    auto representation = turned->defaultRepresentation();
    EXPECT_EQ(representation->dimensions(), CGSizeMake(640, 480));
    EXPECT_EQ(representation->orientation(), ALAssetOrientationRight);
    EXPECT_EQ(representation->UTI(), "public.jpeg");
    EXPECT_EQ(representation->fullResolutionImage()->width(), 640);
    // Full screen is upright: the stored top-left checker is now at the top right.
    auto screen = representation->fullScreenImage();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->width(), 480);
    EXPECT_EQ(screen->height(), 640);
    auto corner = screen->pixelAt(screen->width() - 10, 10);
    EXPECT_GT(corner.red, 200);
    EXPECT_LT(corner.green, 80);
    auto thumbnail = turned->thumbnail();
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width(), 150);
    EXPECT_EQ(thumbnail->height(), 150);

    const auto& video = assets.at(1);
    EXPECT_EQ(video->valueForProperty(ALAssetPropertyType).string(), ALAssetTypeVideo);
    EXPECT_NEAR(video->valueForProperty(ALAssetPropertyDuration).doubleValue(), 2.0, 0.15);
    EXPECT_EQ(video->valueForProperty(ALAssetPropertyDate).date().secondsSince1970, 1685610000.0);
    ASSERT_TRUE(video->thumbnail());
    EXPECT_EQ(video->thumbnail()->width(), 150);
    auto frame = video->defaultRepresentation()->fullScreenImage();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 320);

    EXPECT_EQ(assets.at(4)->defaultRepresentation()->fullResolutionImage()->width(), 640); // HEIC
    EXPECT_EQ(assets.at(3)->aspectRatioThumbnail()->width(), 256);                         // PNG 480 × 360
    EXPECT_EQ(assets.at(3)->aspectRatioThumbnail()->height(), 192);
}

TEST_F(ALAssetsLibraryTest, ADamagedPhotoStaysListedWithoutImages) {
    writeFile("/var/mobile/Media/DCIM/100APPLE/IMG_0100.JPG", std::string("\xff\xd8\xff\xe0 not really", 15));
    auto assets = assetsOf(groups(ALAssetsGroupSavedPhotos).at(0));
    ASSERT_EQ(assets.size(), 6u);
    auto damaged = assets.back();
    EXPECT_EQ(damaged->defaultRepresentation()->filename(), "IMG_0100.JPG");
    EXPECT_FALSE(damaged->thumbnail());
    EXPECT_FALSE(damaged->defaultRepresentation()->fullScreenImage());
    EXPECT_FALSE(damaged->defaultRepresentation()->fullResolutionImage());

    // Decoded together, every asset gets the thumbnail it gets alone, in its place; the damaged
    // one none, and a missing asset none.
    auto withMissing = assets;
    withMissing.insert(withMissing.begin() + 2, nullptr);
    auto together = ALAsset::thumbnailsOf(withMissing);
    ASSERT_EQ(together.size(), withMissing.size());
    for (std::size_t i = 0; i < withMissing.size(); ++i) {
        auto alone = withMissing[i] ? withMissing[i]->thumbnail() : nullptr;
        ASSERT_EQ(static_cast<bool>(together[i]), static_cast<bool>(alone)) << i;
        if (!alone) continue;
        EXPECT_EQ(together[i]->width(), alone->width()) << i;
        for (int y : {0, 75, 149})
            for (int x : {0, 75, 149}) EXPECT_EQ(together[i]->pixelAt(x, y).red, alone->pixelAt(x, y).red) << i;
    }
    EXPECT_TRUE(ALAsset::thumbnailsOf({}).empty());

    // As a pipeline, each asset's thumbnail is handed over once, with its index, on whichever
    // core made it; a missing asset is skipped.
    std::mutex takenLock;
    std::vector<int> taken(withMissing.size(), 0);
    ALAsset::eachThumbnailOf(withMissing, [&](std::size_t i, const CGImageRef& thumbnail) {
        std::lock_guard<std::mutex> guard(takenLock);
        ASSERT_LT(i, taken.size());
        ++taken[i];
        EXPECT_EQ(static_cast<bool>(thumbnail), static_cast<bool>(together[i])) << i;
    });
    for (std::size_t i = 0; i < withMissing.size(); ++i) EXPECT_EQ(taken[i], withMissing[i] ? 1 : 0) << i;
}

TEST_F(ALAssetsLibraryTest, URLsLeadBackToTheirAssetAndGroup) {
    auto roll = groups(ALAssetsGroupSavedPhotos).at(0);
    auto asset = assetsOf(roll).at(2);
    ALAssetPtr found;
    ALAssetsGroupPtr foundGroup, missingGroup = roll;
    bool answered = false, groupAnswered = false, missingAnswered = false;
    library->assetForURLResultBlockFailureBlock(
        asset->valueForProperty(ALAssetPropertyAssetURL).objectAs<NSURL>(), [&](const ALAssetPtr& a) { found = a, answered = true; }, nullptr);
    library->groupForURLResultBlockFailureBlock(
        roll->url(), [&](const ALAssetsGroupPtr& g) { foundGroup = g, groupAnswered = true; }, nullptr);
    library->groupForURLResultBlockFailureBlock(
        NSURL::URLWithString("assets-library://group/?id=00000000-0000-0000-0000-000000000000"),
        [&](const ALAssetsGroupPtr& g) { missingGroup = g, missingAnswered = true; }, nullptr);
    ASSERT_TRUE(runMainUntil([&] { return answered && groupAnswered && missingAnswered; }));
    ASSERT_TRUE(found);
    EXPECT_EQ(urlOf(found), urlOf(asset));
    ASSERT_TRUE(foundGroup);
    EXPECT_EQ(foundGroup->valueForProperty(ALAssetsGroupPropertyName).string(), "Camera Roll");
    EXPECT_FALSE(missingGroup);
}

TEST_F(ALAssetsLibraryTest, ADeniedDeviceAnswersWithTheAccessError) {
    DeviceProfile::update([](DeviceProfile& p) { p.photoLibraryAccessDenied = true; });
    EXPECT_EQ(ALAssetsLibrary::authorizationStatus(), ALAuthorizationStatusDenied);
    NSErrorPtr error;
    bool delivered = false;
    library->enumerateGroupsWithTypesUsingBlockFailureBlock(
        ALAssetsGroupAll, [&](const ALAssetsGroupPtr&, bool*) { delivered = true; }, [&](const NSErrorPtr& e) { error = e; });
    ASSERT_TRUE(runMainUntil([&] { return error != nullptr; }));
    EXPECT_FALSE(delivered);
    EXPECT_EQ(error->domain(), ALAssetsLibraryErrorDomain);
    EXPECT_EQ(error->code(), -3311);
}

TEST_F(ALAssetsLibraryTest, SavedPhotosLandInTheCameraRoll) {
    NSURLPtr saved;
    NSErrorPtr failure;
    int answers = 0;
    library->writeImageToSavedPhotosAlbumMetadataCompletionBlock(SampleMedia::picture(64, 48, "Saved"), {{"Orientation", 6}},
                                                                 [&](const NSURLPtr& url, const NSErrorPtr&) { saved = url, ++answers; });
    library->writeImageToSavedPhotosAlbumMetadataCompletionBlock(nullptr, {}, [&](const NSURLPtr&, const NSErrorPtr& e) { failure = e, ++answers; });
    ASSERT_TRUE(runMainUntil([&] { return answers == 2; }));
    ASSERT_TRUE(saved);
    auto assets = assetsOf(groups(ALAssetsGroupSavedPhotos).at(0));
    EXPECT_EQ(urlOf(assets.back()), saved->absoluteString());
    EXPECT_EQ(assets.back()->defaultRepresentation()->orientation(), ALAssetOrientationRight);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), ALAssetsLibraryWriteInvalidDataError);
}

// The watch's thread posts; the test waits on the main loop for what it saw.
TEST_F(ALAssetsLibraryTest, ChangesPostTheChangedAlbumsURLsFromTheWatchThread) {
    std::mutex lock;
    std::vector<Value::Dictionary> seen;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForName(
        ALAssetsLibraryChangedNotification, nullptr, nullptr, [&](const std::shared_ptr<NSNotification>& n) {
            std::lock_guard<std::mutex> guard(lock);
            seen.push_back(n->userInfo());
        });
    auto all = groups();
    const std::string rollURL = all[0]->url()->absoluteString(), albumURL = all[1]->url()->absoluteString();
    auto saw = [&](const char* key, const std::string& url) {
        std::lock_guard<std::mutex> guard(lock);
        for (const auto& info : seen) {
            auto it = info.find(key);
            if (it == info.end()) continue;
            for (const Value& v : it->second.array())
                if (v.objectAs<NSURL>()->absoluteString() == url) return true;
        }
        return false;
    };
    ASSERT_TRUE(SampleMedia::writePhoto("/var/mobile/Media/DCIM/101APPLE/IMG_0200.JPG", *SampleMedia::picture(32, 32, "New"),
                                        SampleMedia::PhotoFormat::JPEG));
    EXPECT_TRUE(runMainUntil([&] { return saw(ALAssetLibraryUpdatedAssetGroupsKey, rollURL); }));
    writeFile("/var/mobile/Media/Albums/Holidays/note.txt", "x");
    EXPECT_TRUE(runMainUntil([&] { return saw(ALAssetLibraryUpdatedAssetGroupsKey, albumURL); }));
    makeDirectory("/var/mobile/Media/Albums/Party");
    auto party = ALAssetsGroup::albumNamed("Party");
    ASSERT_TRUE(party);
    EXPECT_TRUE(runMainUntil([&] { return saw(ALAssetLibraryInsertedAssetGroupsKey, party->url()->absoluteString()); }));
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
}

} // namespace

namespace {
// Links in the camera's folder resolve inside the device: one that leads out of it, a loop and
// an odd name neither escape nor repeat the library.
TEST_F(ALAssetsLibraryTest, LinksAndOddNamesStayInsideTheDevice) {
    const std::string folder = host("/var/mobile/Media/DCIM/100APPLE");
    ASSERT_EQ(::symlink("/etc/hostname", (folder + "/Outside.JPG").c_str()), 0);
    ASSERT_EQ(::symlink("/var/mobile/Media/DCIM", (folder + "/Loop").c_str()), 0);
    ASSERT_TRUE(SampleMedia::writePhoto("/var/mobile/Media/DCIM/100APPLE/é \"odd\" name?.JPG", *SampleMedia::picture(20, 20, "Odd"),
                                        SampleMedia::PhotoFormat::JPEG));
    auto assets = assetsOf(groups(ALAssetsGroupSavedPhotos).at(0));
    std::vector<std::string> names;
    for (const auto& asset : assets) names.push_back(asset->defaultRepresentation()->filename());
    EXPECT_EQ(assets.size(), 6u) << ::testing::PrintToString(names);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Outside.JPG"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "é \"odd\" name?.JPG"), 1);
}
} // namespace
