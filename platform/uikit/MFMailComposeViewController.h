#pragma once
// The mail compose sheet. The device can send mail when it has a mail account (a device fact);
// the sheet tells its delegate how it ended and the delegate dismisses it.

#include "platform/foundation/NSError.h"
#include "platform/uikit/UIComposeSheet.h"

#include <memory>
#include <string>
#include <vector>

enum MFMailComposeResult : long {
    MFMailComposeResultCancelled = 0,
    MFMailComposeResultSaved = 1,
    MFMailComposeResultSent = 2,
    MFMailComposeResultFailed = 3,
};

class MFMailComposeViewController;

class MFMailComposeViewControllerDelegate {
public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    virtual void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&, MFMailComposeResult,
                                                               const std::shared_ptr<NSError>&) {}
};

class MFMailComposeViewController : public UIComposeSheet {
public:
    static bool canSendMail();

    std::shared_ptr<MFMailComposeViewControllerDelegate> mailComposeDelegate() const { return delegate_.lock(); }
    void setMailComposeDelegate(const std::shared_ptr<MFMailComposeViewControllerDelegate>& d) { delegate_ = d; }
    const std::string& subject() const { return subject_; }
    void setSubject(std::string subject) { subject_ = std::move(subject); }
    const std::vector<std::string>& toRecipients() const { return to_; }
    void setToRecipients(std::vector<std::string> to) { to_ = std::move(to); }
    const std::string& messageBody() const { return body_; }
    bool isHTML() const { return html_; }
    void setMessageBodyIsHTML(std::string body, bool isHTML) {
        body_ = std::move(body);
        html_ = isHTML;
    }

    std::string summary() const override;
    UIComposeSheetLook look() const override;

protected:
    void didFinish(bool sent) override;

private:
    std::weak_ptr<MFMailComposeViewControllerDelegate> delegate_;
    std::string subject_;
    std::vector<std::string> to_;
    std::string body_;
    bool html_ = false;
};
