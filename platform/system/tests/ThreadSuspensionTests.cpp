#include "platform/system/thread_act.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

thread_t ownThread() { return static_cast<thread_t>(syscall(SYS_gettid)); }

std::vector<thread_t> listThreads() {
    thread_act_array_t list = nullptr;
    mach_msg_type_number_t count = 0;
    EXPECT_EQ(task_threads(mach_task_self(), &list, &count), KERN_SUCCESS);
    std::vector<thread_t> threads(list, list + count);
    vm_deallocate(mach_task_self(), reinterpret_cast<vm_address_t>(list), count * sizeof(thread_t));
    return threads;
}

// A thread that counts as fast as it can until told to stop, so that progress shows whether it runs.
struct Spinner {
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> count{0};
    std::atomic<thread_t> id{0};
    std::thread thread{[this] {
        id = ownThread();
        while (!stop.load()) count.fetch_add(1);
    }};
    Spinner() {
        while (id.load() == 0) std::this_thread::yield();
    }
    ~Spinner() {
        stop = true;
        thread.join();
    }
};

} // namespace

TEST(ThreadSuspension, TaskThreadsListsEveryThreadOfTheProcess) {
    Spinner spinner;
    std::vector<thread_t> threads = listThreads();
    EXPECT_NE(std::find(threads.begin(), threads.end(), ownThread()), threads.end());
    EXPECT_NE(std::find(threads.begin(), threads.end(), spinner.id.load()), threads.end());
    EXPECT_EQ(task_threads(mach_task_self() + 1, nullptr, nullptr), KERN_INVALID_ARGUMENT);
}

TEST(ThreadSuspension, ASuspendedThreadStandsStillWithItsRegistersReadableUntilResumed) {
    Spinner spinner;
    thread_t thread = spinner.id.load();
    ASSERT_EQ(thread_suspend(thread), KERN_SUCCESS);
    uint64_t frozen = spinner.count.load();
    x86_thread_state64_t state{};
    mach_msg_type_number_t count = x86_THREAD_STATE64_COUNT;
    ASSERT_EQ(thread_get_state(thread, x86_THREAD_STATE64, reinterpret_cast<uint32_t*>(&state), &count), KERN_SUCCESS);
    EXPECT_EQ(count, x86_THREAD_STATE64_COUNT);
    EXPECT_NE(state.rip, 0u);
    EXPECT_NE(state.rsp, 0u);
    // Reading the state again, and the thread's own counter, show that it does not move.
    x86_thread_state64_t again{};
    ASSERT_EQ(thread_get_state(thread, x86_THREAD_STATE64, reinterpret_cast<uint32_t*>(&again), &count), KERN_SUCCESS);
    EXPECT_EQ(again.rsp, state.rsp);
    EXPECT_EQ(spinner.count.load(), frozen);
    // Only the host's flavor is served.
    arm_unified_thread_state_t arm{};
    mach_msg_type_number_t armCount = ARM_UNIFIED_THREAD_STATE_COUNT;
    EXPECT_EQ(thread_get_state(thread, ARM_THREAD_STATE, reinterpret_cast<uint32_t*>(&arm), &armCount), KERN_FAILURE);

    ASSERT_EQ(thread_resume(thread), KERN_SUCCESS);
    while (spinner.count.load() == frozen) std::this_thread::yield();
    EXPECT_EQ(thread_get_state(thread, x86_THREAD_STATE64, reinterpret_cast<uint32_t*>(&state), &count), KERN_FAILURE);
    EXPECT_EQ(thread_resume(thread), KERN_FAILURE);
    // Suspended again at once after its resumption.
    ASSERT_EQ(thread_suspend(thread), KERN_SUCCESS);
    EXPECT_EQ(thread_resume(thread), KERN_SUCCESS);
}

TEST(ThreadSuspension, TheCallingThreadAndThreadsThatAreGoneAreRefused) {
    EXPECT_EQ(thread_suspend(ownThread()), KERN_INVALID_ARGUMENT);
    thread_t gone = 0;
    std::thread([&] { gone = ownThread(); }).join();
    EXPECT_NE(thread_suspend(gone), KERN_SUCCESS);
    x86_thread_state64_t state{};
    mach_msg_type_number_t count = x86_THREAD_STATE64_COUNT;
    EXPECT_EQ(thread_get_state(ownThread(), x86_THREAD_STATE64, reinterpret_cast<uint32_t*>(&state), &count), KERN_FAILURE);
}

TEST(ThreadSuspension, AThreadThatDoesNotAnswerIsLeftRunningWithoutRegisters) {
    std::atomic<thread_t> id{0};
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> progress{0};
    std::thread blocker([&] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, vdsys_thread_suspend_signal());
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        id = ownThread();
        while (!stop.load()) progress.fetch_add(1);
        // The pending request is answered late, once unblocked: the thread must simply go on.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        progress.fetch_add(1);
    });
    while (id.load() == 0) std::this_thread::yield();
    EXPECT_EQ(thread_suspend(id.load()), KERN_OPERATION_TIMED_OUT);
    x86_thread_state64_t state{};
    mach_msg_type_number_t count = x86_THREAD_STATE64_COUNT;
    EXPECT_EQ(thread_get_state(id.load(), x86_THREAD_STATE64, reinterpret_cast<uint32_t*>(&state), &count), KERN_FAILURE);
    uint64_t seen = progress.load();
    while (progress.load() == seen) std::this_thread::yield();
    stop = true;
    blocker.join();
}

TEST(ThreadSuspension, WaitsOfTheThreadsGoOnWhenTheSignalInterruptsThem) {
    vdsys_thread_suspension_prepare();
    std::mutex lock;
    std::condition_variable changed;
    bool released = false;
    std::atomic<thread_t> waiterId{0}, sleeperId{0};
    std::atomic<bool> waiterDone{false};
    std::thread waiter([&] {
        waiterId = ownThread();
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return released; });
        waiterDone = true;
    });
    std::thread sleeper([&] {
        sleeperId = ownThread();
        // A bounded sleep must last its whole time even when interrupted.
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    });
    while (waiterId.load() == 0 || sleeperId.load() == 0) std::this_thread::yield();
    for (int round = 0; round < 5; ++round) {
        for (thread_t t : {waiterId.load(), sleeperId.load()}) {
            if (thread_suspend(t) == KERN_SUCCESS) thread_resume(t);
        }
    }
    sleeper.join();
    EXPECT_FALSE(waiterDone.load());
    {
        std::lock_guard<std::mutex> guard(lock);
        released = true;
    }
    changed.notify_all();
    waiter.join();
    EXPECT_TRUE(waiterDone.load());
}
