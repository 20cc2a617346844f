#include "platform/foundation/NSNotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {
class Observer : public NSObject {
public:
    std::vector<std::string> seen;
};

class NSNotificationCenterTest : public ::testing::Test {
protected:
    std::shared_ptr<NSNotificationCenter> center_ = std::make_shared<NSNotificationCenter>();
};
} // namespace

TEST_F(NSNotificationCenterTest, DeliversSynchronouslyWithNameObjectAndUserInfo) {
    auto sender = std::make_shared<NSObject>();
    std::shared_ptr<NSNotification> received;
    std::thread::id on;
    auto token = center_->addObserverForName("Ping", nullptr, nullptr, [&](const auto& n) {
        received = n;
        on = std::this_thread::get_id();
    });
    center_->postNotificationName("Ping", sender, {{"count", 3}});
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(on, std::this_thread::get_id());
    EXPECT_EQ(received->name(), "Ping");
    EXPECT_EQ(received->object().object(), sender);
    EXPECT_EQ(received->userInfo().at("count"), Value(3));
    center_->removeObserver(token);
    received = nullptr;
    center_->postNotificationName("Ping");
    EXPECT_EQ(received, nullptr);
}

TEST_F(NSNotificationCenterTest, FiltersByNameAndSender) {
    auto a = std::make_shared<NSObject>();
    auto b = std::make_shared<NSObject>();
    std::vector<std::string> seen;
    auto record = [&](const std::string& who) { return [&seen, who](const auto& n) { seen.push_back(who + ":" + n->name()); }; };
    center_->addObserverForName("X", a, nullptr, record("x-from-a"));
    center_->addObserverForName("X", nullptr, nullptr, record("x-any"));
    center_->addObserverForName("", b, nullptr, record("all-from-b"));
    center_->postNotificationName("X", a);
    center_->postNotificationName("X", b);
    center_->postNotificationName("Y", b);
    center_->postNotificationName("X", Value("not an object"));
    EXPECT_EQ(seen, (std::vector<std::string>{"x-from-a:X", "x-any:X", "x-any:X", "all-from-b:X", "all-from-b:Y", "x-any:X"}));
}

TEST_F(NSNotificationCenterTest, ObserverRemovedDuringAPostIsNotCalledAfterwards) {
    auto second = std::make_shared<Observer>();
    std::vector<std::string> order;
    center_->addObserverForName("N", nullptr, nullptr, [&](const auto&) {
        order.push_back("first");
        center_->removeObserver(second.get());
    });
    center_->addObserver(second, "N", nullptr, [&](const auto&) { order.push_back("second"); });
    center_->addObserverForName("N", nullptr, nullptr, [&](const auto&) { order.push_back("third"); });
    center_->postNotificationName("N");
    center_->postNotificationName("N");
    EXPECT_EQ(order, (std::vector<std::string>{"first", "third", "first", "third"}));
}

TEST_F(NSNotificationCenterTest, ObserverWhoseOwnerDiedIsSkipped) {
    int calls = 0;
    auto observer = std::make_shared<Observer>();
    center_->addObserver(observer, "N", nullptr, [&](const auto&) { ++calls; });
    center_->postNotificationName("N");
    observer.reset();
    center_->postNotificationName("N");
    center_->postNotificationName("N");
    EXPECT_EQ(calls, 1);
}

TEST_F(NSNotificationCenterTest, RemoveObserverForOneNameKeepsTheOthers) {
    auto observer = std::make_shared<Observer>();
    auto sender = std::make_shared<NSObject>();
    std::weak_ptr<Observer> weak = observer;
    for (const char* name : {"A", "B"}) {
        center_->addObserver(observer, name, nullptr, [weak](const auto& n) { weak.lock()->seen.push_back(n->name()); });
    }
    center_->addObserver(observer, "C", sender, [weak](const auto& n) { weak.lock()->seen.push_back(n->name()); });
    center_->removeObserver(observer.get(), "A", nullptr);
    center_->removeObserver(observer.get(), "", sender.get());
    for (const char* name : {"A", "B", "C"}) center_->postNotificationName(name, sender);
    EXPECT_EQ(observer->seen, (std::vector<std::string>{"B"}));
}

TEST_F(NSNotificationCenterTest, PostsAndRegistrationsFromManyThreads) {
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto token = center_->addObserverForName("T", nullptr, nullptr, [&](const auto&) { ++calls; });
                center_->postNotificationName("T");
                center_->removeObserver(token);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_GE(calls.load(), 800);
}

TEST(NSNotificationCenterDefaultTest, DefaultCenterIsOneObject) {
    EXPECT_EQ(NSNotificationCenter::defaultCenter(), NSNotificationCenter::defaultCenter());
}
