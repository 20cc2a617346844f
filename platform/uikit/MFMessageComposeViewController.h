#pragma once
// The text-message compose sheet. The device can send text when it has messaging (a device
// fact); the sheet tells its delegate how it ended and the delegate dismisses it.

#include "platform/uikit/UIComposeSheet.h"

#include <memory>
#include <string>
#include <vector>

enum MessageComposeResult : long {
    MessageComposeResultCancelled = 0,
    MessageComposeResultSent = 1,
    MessageComposeResultFailed = 2,
};

class MFMessageComposeViewController;

class MFMessageComposeViewControllerDelegate {
public:
    virtual ~MFMessageComposeViewControllerDelegate() = default;
    virtual void messageComposeViewControllerDidFinishWithResult(MFMessageComposeViewController&, MessageComposeResult) = 0;
};

class MFMessageComposeViewController : public UIComposeSheet {
public:
    static bool canSendText();

    std::shared_ptr<MFMessageComposeViewControllerDelegate> messageComposeDelegate() const { return delegate_.lock(); }
    void setMessageComposeDelegate(const std::shared_ptr<MFMessageComposeViewControllerDelegate>& d) { delegate_ = d; }
    const std::string& body() const { return body_; }
    void setBody(std::string body) { body_ = std::move(body); }
    const std::vector<std::string>& recipients() const { return recipients_; }
    void setRecipients(std::vector<std::string> recipients) { recipients_ = std::move(recipients); }

    std::string summary() const override;
    UIComposeSheetLook look() const override;

protected:
    void didFinish(bool sent) override;

private:
    std::weak_ptr<MFMessageComposeViewControllerDelegate> delegate_;
    std::string body_;
    std::vector<std::string> recipients_;
};
