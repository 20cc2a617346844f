#pragma once
// The asset picker presented over a plain root on a phone-sized window, on the test library,
// with a host delegate that records what it hears and answers as a test sets it up.

#include "pickers/assetpicker/APAssetsGroupViewController.h"
#include "pickers/assetpicker/APAssetsPickerController.h"
#include "platform/device/Driver.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

#include <functional>
#include <string>
#include <vector>

class RecordingPickerHost : public APAssetsPickerControllerDelegate {
public:
    void assetsPickerControllerDidFinishPickingAssets(APAssetsPickerController&, const std::vector<ALAssetPtr>& assets) override {
        finished.push_back(assets);
    }
    void assetsPickerControllerDidCancel(APAssetsPickerController&) override { events.push_back("cancel"); }
    bool assetsPickerControllerShouldShowAssetsGroup(APAssetsPickerController&, const ALAssetsGroupPtr& group) override {
        return !showGroup || showGroup(group->valueForProperty(ALAssetsGroupPropertyName).stringValue());
    }
    bool assetsPickerControllerShouldEnableAsset(APAssetsPickerController&, const ALAssetPtr& asset) override {
        return !enableAsset || enableAsset(asset);
    }
    bool assetsPickerControllerShouldSelectAsset(APAssetsPickerController& picker, const ALAssetPtr&) override {
        events.push_back("should select");
        return !selectWhile || selectWhile(picker);
    }
    void assetsPickerControllerDidSelectAsset(APAssetsPickerController& picker, const ALAssetPtr&) override {
        events.push_back("did select: " + picker.toolbarTitle());
    }
    void assetsPickerControllerDidDeselectAsset(APAssetsPickerController& picker, const ALAssetPtr&) override {
        events.push_back("did deselect: " + picker.toolbarTitle());
    }
    void assetsPickerControllerDidHighlightAsset(APAssetsPickerController&, const ALAssetPtr&) override { events.push_back("highlight"); }
    void assetsPickerControllerDidUnhighlightAsset(APAssetsPickerController&, const ALAssetPtr&) override { events.push_back("unhighlight"); }

    std::function<bool(const std::string& albumName)> showGroup;
    std::function<bool(const ALAssetPtr&)> enableAsset;
    std::function<bool(APAssetsPickerController&)> selectWhile;
    std::vector<std::vector<ALAssetPtr>> finished;
    std::vector<std::string> events;
};

class APAssetsPickerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        UIApplication::sharedApplication()->reset();
        root_ = std::make_shared<UIViewController>();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // Presents a picker (set up by `configure` first) and waits for the album list's rows or message.
    std::shared_ptr<APAssetsPickerController> present(const std::function<void(APAssetsPickerController&)>& configure = {}) {
        auto picker = APAssetsPickerController::init();
        picker->setDelegate(host_);
        if (configure) configure(*picker);
        root_->presentViewControllerAnimatedCompletion(picker, false, nullptr);
        list_ = std::dynamic_pointer_cast<APAssetsGroupViewController>(picker->viewControllers().front());
        EXPECT_TRUE(runMainUntil([&] { return list_->tableView()->numberOfRowsInSection(0) > 0 || list_->tableView()->backgroundView(); }));
        drainMain();
        return picker;
    }

    std::string screen() { return driver_.screen(); }
    static bool shows(const std::string& screen, const std::string& text) { return screen.find(text) != std::string::npos; }

    Driver driver_;
    std::shared_ptr<UIViewController> root_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<APAssetsGroupViewController> list_;
    std::shared_ptr<RecordingPickerHost> host_ = std::make_shared<RecordingPickerHost>();
};
