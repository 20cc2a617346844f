#pragma once
// How the session's network thread waits for its delegate: the call goes onto the delegate queue
// with a handler, and the thread waits until the handler is called, every copy of it is dropped
// (the fallback answers), or the task is canceled. Included only by the session's own sources.

#include "platform/net/NSURLSession.h"

#include <condition_variable>
#include <mutex>
#include <optional>

namespace NSURLSessionAsk {

// What the delegate answered, and whether every copy of its handler is gone.
template <class Answer>
struct Reply {
    std::optional<Answer> value;
    bool dropped = false;
};

// Held by the handler's copies; the last one to go marks the reply dropped.
template <class Answer>
struct ReplyGuard {
    std::shared_ptr<NSURLSessionAsk::Reply<Answer>> reply;
    std::shared_ptr<void> boardKeeper;
    std::mutex& mutex;
    std::condition_variable& changed;
    ~ReplyGuard() {
        std::lock_guard guard(mutex);
        reply->dropped = true;
        changed.notify_all();
    }
    void answer(Answer given) {
        std::lock_guard guard(mutex);
        if (!reply->value) reply->value = std::move(given);
        changed.notify_all();
    }
};

} // namespace NSURLSessionAsk

template <class Answer>
inline Answer NSURLSession::ask(const NSURLSessionTask& task, Answer fallback, std::function<void(std::function<void(Answer)>)> call) {
    auto board = board_;
    auto reply = std::make_shared<NSURLSessionAsk::Reply<Answer>>();
    std::shared_ptr<NSURLSessionAsk::ReplyGuard<Answer>> guard(new NSURLSessionAsk::ReplyGuard<Answer>{reply, board, board->mutex, board->changed});
    std::function<void(Answer)> handler = [guard](Answer given) { guard->answer(std::move(given)); };
    guard.reset();
    enqueue([call = std::move(call), handler = std::move(handler)]() mutable {
        call(handler);
        handler = nullptr;
    });
    std::unique_lock lock(board->mutex);
    board->changed.wait(lock, [&] { return reply->value || reply->dropped || task.isCanceled(); });
    return reply->value.value_or(fallback);
}

