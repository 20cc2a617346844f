#pragma once
// What the system's compose sheets (mail, message, the social networks) share on the headless
// device: the sheet shows what it will send, the driver's `send` or `cancel` finishes it, and
// what was sent is recorded here instead of leaving the machine.

#include "platform/uikit/UIViewController.h"

#include <string>
#include <utility>
#include <vector>

// What a sheet shows: its bar (Cancel, the title, the send button), its fields ("To:" and the
// value) over the body. A card floats over the dimmed screen it came from; the others fill it.
struct UIComposeSheetLook {
    std::string title;
    std::string sendTitle;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
    bool card = false;
};

class UIComposeSheet : public UIViewController {
public:
    // What the sheet would send, as the screen shows it: `mail subject "…" body "…"`.
    virtual std::string summary() const = 0;
    // The user sends (true) or cancels (false); false when the sheet has already finished.
    bool finish(bool send);
    bool isFinished() const { return finished_; }

    // Every sheet sent in this process, oldest first, by its summary.
    static std::vector<std::string> sentSummaries();
    static void clearSent();

    // "compose: SUMMARY", and a layer of its own answering send and cancel (and its buttons).
    void describeToScreen(UIScreenDescription& screen) override;

    virtual UIComposeSheetLook look() const = 0;
    // A view that draws the look.
    void loadView() override;
    bool showsPresenterWhenPresented() const override { return look().card; }

protected:
    UIComposeSheet();
    // Tells the sheet's delegate or handler how it ended.
    virtual void didFinish(bool sent) = 0;

private:
    bool finished_ = false;
};
