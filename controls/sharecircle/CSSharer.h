#pragma once
// A share target of the share circle: a name (shown when chosen, and what the delegate compares)
// and an icon.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIImage.h"

#include <memory>
#include <mutex>
#include <string>

class CSSharer : public NSObject {
public:
    // Loads the icon from the bundle (nil when there is no such image).
    CSSharer(const std::string& name, const std::string& imageName);
    static std::shared_ptr<CSSharer> initWithNameImageName(const std::string& name, const std::string& imageName) {
        return std::make_shared<CSSharer>(name, imageName);
    }

    static std::shared_ptr<CSSharer> mail();
    static std::shared_ptr<CSSharer> cameraRoll();
    static std::shared_ptr<CSSharer> dropbox();
    static std::shared_ptr<CSSharer> evernote();
    static std::shared_ptr<CSSharer> facebook();
    static std::shared_ptr<CSSharer> googleDrive();
    static std::shared_ptr<CSSharer> pinterest();
    static std::shared_ptr<CSSharer> twitter();
    static std::shared_ptr<CSSharer> airPrint();

    std::string name() const;
    void setName(std::string name);
    UIImagePtr image() const;
    void setImage(UIImagePtr image);

private:
    mutable std::mutex lock_;
    std::string name_;
    UIImagePtr image_;
};
