#pragma once
// A linked list that a signal handler reads without a lock while ordinary threads change it.
//
// Writers (append, prepend, remove) take the list's spin lock and may allocate; they publish
// nodes with compare-and-swap so that a reader always sees a consistent chain. Readers count
// themselves in with set_reading(true), follow next() and count themselves out; they never lock
// and never allocate.
//
// A node that a writer removes while any reader is counted in keeps its own links untouched and
// waits on a free list (linked through a field of its own), because a reader may still stand on
// it and follow its next pointer. Free-list nodes are released or reused only while no reader is
// counted in. A list made with a disposer hands it each value whose node it releases (or
// reuses), so that what the value owns lives exactly as long as a reader may reach it.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vdcrash::async {

template <typename V>
class async_list {
public:
    class node {
    public:
        V value() const { return value_; }
        // The successor as the list published it.
        node* next() const { return next_.load(std::memory_order_acquire); }
        node* prev() const { return prev_.load(std::memory_order_acquire); }

    private:
        friend class async_list;
        node() = default;
        V value_{};
        std::atomic<node*> prev_{nullptr};
        std::atomic<node*> next_{nullptr};
        node* freeNext_ = nullptr;
    };

    using disposer = void (*)(V);

    async_list() = default;
    explicit async_list(disposer dispose) : dispose_(dispose) {}
    async_list(const async_list&) = delete;
    async_list& operator=(const async_list&) = delete;
    ~async_list() {
        node* n = head_.load(std::memory_order_acquire);
        while (n) {
            node* next = n->next();
            destroy(n);
            n = next;
        }
        releaseFreeList();
    }

    void nasync_append(V value) {
        lock();
        node* n = takeNode(value);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (tail_) {
            node* expected = nullptr;
            tail_->next_.compare_exchange_strong(expected, n, std::memory_order_seq_cst);
            n->prev_.store(tail_, std::memory_order_release);
            tail_ = n;
        } else {
            tail_ = n;
            node* expected = nullptr;
            head_.compare_exchange_strong(expected, n, std::memory_order_seq_cst);
        }
        unlock();
    }

    void nasync_prepend(V value) {
        lock();
        node* n = takeNode(value);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        node* head = head_.load(std::memory_order_acquire);
        if (head) {
            n->prev_.store(nullptr, std::memory_order_relaxed);
            n->next_.store(head, std::memory_order_release);
            head->prev_.store(n, std::memory_order_release);
            std::atomic_thread_fence(std::memory_order_seq_cst);
            head_.compare_exchange_strong(head, n, std::memory_order_seq_cst);
        } else {
            tail_ = n;
            node* expected = nullptr;
            head_.compare_exchange_strong(expected, n, std::memory_order_seq_cst);
        }
        unlock();
    }

    // Unlinks a node of this list; a node that is not in the list is left alone.
    void nasync_remove_node(node* target) {
        lock();
        node* n = head_.load(std::memory_order_acquire);
        while (n && n != target) n = n->next();
        if (!n) {
            unlock();
            return;
        }
        node* prev = n->prev();
        node* next = n->next();
        if (prev) {
            node* expected = n;
            prev->next_.compare_exchange_strong(expected, next, std::memory_order_seq_cst);
        } else {
            node* expected = n;
            head_.compare_exchange_strong(expected, next, std::memory_order_seq_cst);
        }
        if (next)
            next->prev_.store(prev, std::memory_order_release);
        else
            tail_ = prev;
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (readers_.load(std::memory_order_seq_cst) < 1) {
            destroy(n);
            releaseFreeList();
        } else {
            n->freeNext_ = free_;
            free_ = n;
        }
        unlock();
    }

    void set_reading(bool enable) {
        if (enable) {
            readers_.fetch_add(1, std::memory_order_seq_cst);
            // A full barrier between counting in and the first link read: it pairs with the
            // writer's barrier between unlinking a node and reading the count, so that either
            // the writer sees this reader or this reader sees the node unlinked. Without it the
            // reader's acquire loads could still see a link the writer has freed.
            std::atomic_thread_fence(std::memory_order_seq_cst);
        } else {
            readers_.fetch_sub(1, std::memory_order_seq_cst);
        }
    }

    // The head when `current` is null, else the node after `current`.
    node* next(node* current) const {
        return current ? current->next() : head_.load(std::memory_order_acquire);
    }

    // The number of readers counted in (for checks of balanced reading).
    int32_t reader_count() const { return readers_.load(std::memory_order_acquire); }

private:
    void lock() {
        while (spin_.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { spin_.clear(std::memory_order_release); }

    // A node for a new value: a waiting free-list node when no reader can still stand on it,
    // else a new one.
    node* takeNode(V value) {
        node* n = nullptr;
        if (free_ && readers_.load(std::memory_order_seq_cst) < 1) {
            n = free_;
            free_ = n->freeNext_;
            if (dispose_) dispose_(n->value_);
        } else {
            void* memory = std::malloc(sizeof(node));
            if (!memory) std::abort();
            n = new (memory) node();
        }
        n->value_ = value;
        n->prev_.store(nullptr, std::memory_order_relaxed);
        n->next_.store(nullptr, std::memory_order_relaxed);
        n->freeNext_ = nullptr;
        return n;
    }

    void releaseFreeList() {
        while (free_) {
            node* n = free_;
            free_ = n->freeNext_;
            destroy(n);
        }
    }

    void destroy(node* n) {
        if (dispose_) dispose_(n->value_);
        n->~node();
        std::free(n);
    }

    disposer dispose_ = nullptr;
    std::atomic_flag spin_ = ATOMIC_FLAG_INIT;
    std::atomic<node*> head_{nullptr};
    node* tail_ = nullptr;
    std::atomic<int32_t> readers_{0};
    node* free_ = nullptr;
};

} // namespace vdcrash::async
