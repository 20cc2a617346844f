// The mail, message and social compose sheets: what the device can do, what they show, how they end.

#include "platform/uikit/MFMailComposeViewController.h"
#include "platform/uikit/MFMessageComposeViewController.h"
#include "platform/uikit/SLComposeViewController.h"

#include "platform/foundation/NSString.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIScreenDescription.h"

const std::string SLServiceTypeFacebook = "com.apple.social.facebook";
const std::string SLServiceTypeTwitter = "com.apple.social.twitter";

bool MFMailComposeViewController::canSendMail() { return DeviceProfile::current().accounts.mail; }

std::string MFMailComposeViewController::summary() const {
    std::string out = "mail";
    if (!to_.empty()) out += " to " + UIScreenDescription::quoted(NSString::componentsJoinedByString(to_, ", "));
    out += " subject " + UIScreenDescription::quoted(subject_);
    out += " body " + UIScreenDescription::quoted(body_);
    return out;
}

void MFMailComposeViewController::didFinish(bool sent) {
    if (auto delegate = delegate_.lock())
        delegate->mailComposeControllerDidFinishWithResultError(*this, sent ? MFMailComposeResultSent : MFMailComposeResultCancelled,
                                                                nullptr);
}

bool MFMessageComposeViewController::canSendText() { return DeviceProfile::current().accounts.sms; }

std::string MFMessageComposeViewController::summary() const {
    std::string out = "message";
    if (!recipients_.empty()) out += " to " + UIScreenDescription::quoted(NSString::componentsJoinedByString(recipients_, ", "));
    return out + " body " + UIScreenDescription::quoted(body_);
}

void MFMessageComposeViewController::didFinish(bool sent) {
    if (auto delegate = delegate_.lock())
        delegate->messageComposeViewControllerDidFinishWithResult(*this, sent ? MessageComposeResultSent : MessageComposeResultCancelled);
}

bool SLComposeViewController::isAvailableForServiceType(const std::string& serviceType) {
    auto accounts = DeviceProfile::current().accounts;
    if (serviceType == SLServiceTypeFacebook) return accounts.facebook;
    if (serviceType == SLServiceTypeTwitter) return accounts.twitter;
    return false;
}

std::shared_ptr<SLComposeViewController> SLComposeViewController::composeViewControllerForServiceType(
    const std::string& serviceType) {
    if (serviceType != SLServiceTypeFacebook && serviceType != SLServiceTypeTwitter) return nullptr;
    return std::make_shared<SLComposeViewController>(serviceType);
}

bool SLComposeViewController::setInitialText(const std::string& text) {
    if (presentingViewController()) return false;
    text_ = text;
    return true;
}

bool SLComposeViewController::addURL(const NSURLPtr& url) {
    if (!url || presentingViewController()) return false;
    urls_.push_back(url);
    return true;
}

std::string SLComposeViewController::summary() const {
    std::string out = serviceType_ == SLServiceTypeFacebook ? "facebook" : "twitter";
    out += " text " + UIScreenDescription::quoted(text_);
    for (auto& url : urls_) out += " url " + url->absoluteString();
    return out;
}

void SLComposeViewController::didFinish(bool sent) {
    auto handler = completion_;
    if (presentingViewController()) dismissViewControllerAnimatedCompletion(true, nullptr);
    if (handler) handler(sent ? SLComposeViewControllerResultDone : SLComposeViewControllerResultCancelled);
}

namespace {
// A mail body written in HTML shows its text: tags dropped, the common entities read.
std::string htmlText(const std::string& html) {
    std::string out;
    bool inTag = false;
    for (char ch : html) {
        if (ch == '<') inTag = true;
        else if (ch == '>') inTag = false;
        else if (!inTag) out += ch;
    }
    for (auto [entity, text] : {std::pair{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", " "}})
        out = NSString::stringByReplacingOccurrencesOfString(out, entity, text);
    return out;
}
} // namespace

UIComposeSheetLook MFMailComposeViewController::look() const {
    return {subject_.empty() ? "New Message" : subject_, "Send",
            {{"To:", NSString::componentsJoinedByString(to_, ", ")}, {"Cc/Bcc:", ""}, {"Subject:", subject_}},
            html_ ? htmlText(body_) : body_};
}

UIComposeSheetLook MFMessageComposeViewController::look() const {
    return {"New Message", "Send", {{"To:", NSString::componentsJoinedByString(recipients_, ", ")}}, body_};
}

UIComposeSheetLook SLComposeViewController::look() const {
    std::string body = text_;
    for (auto& url : urls_) body += "\n" + url->absoluteString();
    return {serviceType_ == SLServiceTypeFacebook ? "Facebook" : "Twitter", "Post", {}, body, true};
}
