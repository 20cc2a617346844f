#include "controls/sharecircle/CSSharer.h"

CSSharer::CSSharer(const std::string& name, const std::string& imageName)
    : name_(name), image_(UIImage::imageNamed(imageName)) {}

std::shared_ptr<CSSharer> CSSharer::mail() { return initWithNameImageName("Mail", "mail.png"); }
std::shared_ptr<CSSharer> CSSharer::cameraRoll() { return initWithNameImageName("Camera Roll", "camera_roll.png"); }
std::shared_ptr<CSSharer> CSSharer::dropbox() { return initWithNameImageName("Dropbox", "dropbox.png"); }
std::shared_ptr<CSSharer> CSSharer::evernote() { return initWithNameImageName("Evernote", "evernote.png"); }
std::shared_ptr<CSSharer> CSSharer::facebook() { return initWithNameImageName("Facebook", "facebook.png"); }
std::shared_ptr<CSSharer> CSSharer::googleDrive() { return initWithNameImageName("Google Drive", "google_drive.png"); }
std::shared_ptr<CSSharer> CSSharer::pinterest() { return initWithNameImageName("Pinterest", "pinterest.png"); }
std::shared_ptr<CSSharer> CSSharer::twitter() { return initWithNameImageName("Twitter", "twitter.png"); }
std::shared_ptr<CSSharer> CSSharer::airPrint() { return initWithNameImageName("AirPrint", "print.png"); }

std::string CSSharer::name() const {
    std::lock_guard<std::mutex> guard(lock_);
    return name_;
}

void CSSharer::setName(std::string name) {
    std::lock_guard<std::mutex> guard(lock_);
    name_ = std::move(name);
}

UIImagePtr CSSharer::image() const {
    std::lock_guard<std::mutex> guard(lock_);
    return image_;
}

void CSSharer::setImage(UIImagePtr image) {
    std::lock_guard<std::mutex> guard(lock_);
    image_ = std::move(image);
}
