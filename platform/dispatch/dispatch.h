#pragma once
// Dispatch queues, groups, semaphores and timer sources on real threads. The main queue is
// drained by the main run loop; global queues (all priorities alike) share one pool of a few
// threads per core; serial queues run one block at a time in FIFO order, and a dispatch_sync onto
// a serial or concurrent queue runs the block on the calling thread, as the platform does. Times are on the platform clock, so a manual clock drives dispatch_after
// and timer sources too.

#include <cstdint>
#include <functional>
#include <mutex>
#include <memory>
#include <string>

using dispatch_block_t = std::function<void()>;

class DispatchQueue;
class DispatchGroup;
class DispatchSemaphore;
class DispatchSource;
using dispatch_queue_t = std::shared_ptr<DispatchQueue>;
using dispatch_group_t = std::shared_ptr<DispatchGroup>;
using dispatch_semaphore_t = std::shared_ptr<DispatchSemaphore>;
using dispatch_source_t = std::shared_ptr<DispatchSource>;

// Nanoseconds on the platform's monotonic clock; DISPATCH_TIME_NOW stands for "now".
using dispatch_time_t = std::uint64_t;
inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr std::uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr std::uint64_t NSEC_PER_MSEC = 1000000ull;
inline constexpr std::uint64_t NSEC_PER_USEC = 1000ull;
inline constexpr std::uint64_t USEC_PER_SEC = 1000000ull;

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t deltaNanoseconds);
// A wall-clock time (seconds since 1970 on the platform clock) plus a delta, as a dispatch time.
dispatch_time_t dispatch_walltime_seconds(double secondsSince1970, std::int64_t deltaNanoseconds);

inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

enum class dispatch_queue_attr_t { serial, concurrent };
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_SERIAL = dispatch_queue_attr_t::serial;
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT = dispatch_queue_attr_t::concurrent;

dispatch_queue_t dispatch_get_main_queue();
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr = DISPATCH_QUEUE_SERIAL);
// The queue whose block is running on this thread (the main queue on the main thread when no
// block of another queue runs there), as the deprecated call did.
dispatch_queue_t dispatch_get_current_queue();
const char* dispatch_queue_get_label(const dispatch_queue_t& queue);

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
// Runs the block on the queue and waits for it. A sync onto the queue that is running the
// caller deadlocks on the device; here it is a programming error and asserts.
void dispatch_sync(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);
// Runs the block `iterations` times, possibly concurrently, and returns when all are done.
void dispatch_apply(std::size_t iterations, const dispatch_queue_t& queue, const std::function<void(std::size_t)>& block);

// dispatch_once: the block runs once per token for the life of the process.
struct dispatch_once_t {
    std::once_flag flag;
};
void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block);

dispatch_group_t dispatch_group_create();
void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_group_enter(const dispatch_group_t& group);
void dispatch_group_leave(const dispatch_group_t& group);
void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
// 0 when the group emptied before the time-out, non-zero otherwise.
long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout);

dispatch_semaphore_t dispatch_semaphore_create(long value);
// 0 on success, non-zero when the time-out passed.
long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout);
// Non-zero when a waiter was woken.
long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore);

// Timer sources (DISPATCH_SOURCE_TYPE_TIMER is the only type the system uses).
enum class dispatch_source_type_t { timer };
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER = dispatch_source_type_t::timer;
dispatch_source_t dispatch_source_create(dispatch_source_type_t type, std::uintptr_t handle, unsigned long mask,
                                         const dispatch_queue_t& queue);
void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start, std::uint64_t intervalNanoseconds,
                               std::uint64_t leewayNanoseconds);
void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_cancel(const dispatch_source_t& source);
long dispatch_source_testcancel(const dispatch_source_t& source);
// Sources start suspended; resume and suspend nest as on the platform.
void dispatch_resume(const dispatch_source_t& source);
void dispatch_suspend(const dispatch_source_t& source);
// Queues can be suspended and resumed too.
void dispatch_resume(const dispatch_queue_t& queue);
void dispatch_suspend(const dispatch_queue_t& queue);
