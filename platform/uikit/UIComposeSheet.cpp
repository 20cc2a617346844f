#include "platform/uikit/UIComposeSheet.h"

#include "platform/uikit/UIScreenDescription.h"

#include <mutex>

namespace {
std::mutex sentLock;
std::vector<std::string>& sent() {
    static std::vector<std::string> summaries;
    return summaries;
}
} // namespace

UIComposeSheet::UIComposeSheet() {
    // A sheet slides over the screen that presents it, which stays beneath.
    setModalPresentationStyle(UIModalPresentationOverFullScreen);
}

bool UIComposeSheet::finish(bool send) {
    if (finished_) return false;
    finished_ = true;
    if (send) {
        std::lock_guard<std::mutex> guard(sentLock);
        sent().push_back(summary());
    }
    auto keep = self<UIComposeSheet>();
    didFinish(send);
    return true;
}

std::vector<std::string> UIComposeSheet::sentSummaries() {
    std::lock_guard<std::mutex> guard(sentLock);
    return sent();
}

void UIComposeSheet::clearSent() {
    std::lock_guard<std::mutex> guard(sentLock);
    sent().clear();
}

void UIComposeSheet::describeToScreen(UIScreenDescription& screen) {
    screen.addLine("compose: " + summary());
    screen.beginLayer("a compose sheet", "send or cancel");
    auto me = self<UIComposeSheet>();
    auto end = [me](bool send, UIScreenReply& reply) {
        std::string what = me->summary();
        if (!me->finish(send)) return reply.refuse("the sheet has already finished");
        reply.said = send ? "sent: " + what : "cancelled: " + what;
        return true;
    };
    screen.addCommand("send", [end](const std::string&, UIScreenReply& reply) { return end(true, reply); });
    screen.addCommand("cancel", [end](const std::string&, UIScreenReply& reply) { return end(false, reply); });
    screen.addTappable("Send", [end](UIScreenReply& reply) { return end(true, reply); });
    screen.addTappable("Cancel", [end](UIScreenReply& reply) { return end(false, reply); });
}
