#include "sdk/crashreporter/VuderuCrashAsyncLinkedList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using vdcrash::async::async_list;

namespace {

template <typename V>
std::vector<V> values(async_list<V>& list) {
    std::vector<V> out;
    list.set_reading(true);
    for (auto* n = list.next(nullptr); n; n = list.next(n)) out.push_back(n->value());
    list.set_reading(false);
    return out;
}

template <typename V>
typename async_list<V>::node* find(async_list<V>& list, V value) {
    for (auto* n = list.next(nullptr); n; n = list.next(n))
        if (n->value() == value) return n;
    return nullptr;
}

} // namespace

TEST(AsyncLinkedList, AppendPrependAndRemoveKeepOrder) {
    async_list<int> list;
    list.nasync_append(2);
    list.nasync_append(3);
    list.nasync_prepend(1);
    list.nasync_prepend(0);
    EXPECT_EQ(values(list), (std::vector<int>{0, 1, 2, 3}));

    list.nasync_remove_node(find(list, 0));  // head
    list.nasync_remove_node(find(list, 3));  // tail
    EXPECT_EQ(values(list), (std::vector<int>{1, 2}));
    list.nasync_append(4);  // the tail moved back correctly
    list.nasync_remove_node(find(list, 2));  // middle
    EXPECT_EQ(values(list), (std::vector<int>{1, 4}));
    list.nasync_remove_node(find(list, 1));
    list.nasync_remove_node(find(list, 4));
    EXPECT_TRUE(values(list).empty());
    list.nasync_prepend(5);  // an emptied list takes new nodes at both ends
    list.nasync_append(6);
    EXPECT_EQ(values(list), (std::vector<int>{5, 6}));
}

TEST(AsyncLinkedList, RemovingANodeUnknownToTheListChangesNothing) {
    async_list<int> list, other;
    list.nasync_append(1);
    other.nasync_append(9);
    list.nasync_remove_node(find(other, 9));
    EXPECT_EQ(values(list), (std::vector<int>{1}));
    EXPECT_EQ(values(other), (std::vector<int>{9}));
}

// A reader standing on a node that a writer removes must still be able to walk on from it, and
// the node must not be handed out again while that reader is counted in.
TEST(AsyncLinkedList, RemovedNodeKeepsItsLinksAndWaitsWhileAReaderIsCountedIn) {
    async_list<int> list;
    for (int v : {1, 2, 3}) list.nasync_append(v);

    list.set_reading(true);
    auto* standing = find(list, 2);
    list.nasync_remove_node(standing);
    ASSERT_NE(standing->next(), nullptr);
    EXPECT_EQ(standing->next()->value(), 3);

    list.nasync_append(4);  // must not reuse the node the reader stands on
    EXPECT_NE(find(list, 4), standing);
    EXPECT_EQ(standing->value(), 2);
    EXPECT_EQ(standing->next()->value(), 3);
    list.set_reading(false);

    list.nasync_append(5);  // no reader: the waiting node is reused
    EXPECT_EQ(find(list, 5), standing);
    EXPECT_EQ(values(list), (std::vector<int>{1, 3, 4, 5}));
}

TEST(AsyncLinkedList, RemovingWhileNoReaderFreesAtOnce) {
    async_list<int> list;
    list.nasync_append(1);
    list.nasync_append(2);
    list.nasync_remove_node(find(list, 1));
    list.nasync_append(3);
    EXPECT_EQ(values(list), (std::vector<int>{2, 3}));
    EXPECT_EQ(list.reader_count(), 0);
}

namespace {
struct Entry {
    int writer;
    int seq;
    unsigned check;
    bool operator==(const Entry& o) const { return writer == o.writer && seq == o.seq; }
};
unsigned checksum(int writer, int seq) { return 0x9e3779b9u ^ static_cast<unsigned>(writer * 100003 + seq); }
} // namespace

// Writers add and remove their own entries while readers walk; every entry a reader meets must be
// whole and every walk must end. Run under the sanitizers this also catches a freed node being read.
TEST(AsyncLinkedList, SurvivesConcurrentWritersAndReaders) {
    constexpr int kWriters = 3, kReaders = 3, kRounds = 4000;
    async_list<Entry> list;
    std::atomic<bool> done{false};
    std::atomic<long> walked{0}, damaged{0};

    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int seq = 0; seq < kRounds; ++seq) {
                Entry e{w, seq, checksum(w, seq)};
                if (seq % 2) list.nasync_append(e); else list.nasync_prepend(e);
                if (seq >= 8) {
                    // Drop an older entry of this writer, found while counted in as a reader.
                    Entry old{w, seq - 8, 0};
                    list.set_reading(true);
                    auto* n = find(list, old);
                    list.set_reading(false);
                    if (n) list.nasync_remove_node(n);
                }
            }
        });
    }
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&] {
            while (!done.load()) {
                list.set_reading(true);
                long steps = 0;
                for (auto* n = list.next(nullptr); n && steps < 1000000; n = list.next(n), ++steps) {
                    Entry e = n->value();
                    if (e.check != checksum(e.writer, e.seq)) damaged.fetch_add(1);
                }
                list.set_reading(false);
                walked.fetch_add(steps);
            }
        });
    }
    for (int w = 0; w < kWriters; ++w) threads[w].join();
    done.store(true);
    for (size_t i = kWriters; i < threads.size(); ++i) threads[i].join();

    EXPECT_EQ(damaged.load(), 0);
    EXPECT_EQ(list.reader_count(), 0);
    auto remaining = values(list);
    EXPECT_EQ(remaining.size(), static_cast<size_t>(kWriters * 8));
    for (const Entry& e : remaining) EXPECT_GE(e.seq, kRounds - 8);
}

namespace {
std::vector<int> disposed;
void dispose(int value) { disposed.push_back(value); }
} // namespace

// A removed value is handed to the disposer only once no reader can stand on its node: at once
// when none is counted in, else at the first change after the readers have left (or when the
// list goes).
TEST(AsyncLinkedList, RemovedValuesGoToTheDisposerOnceNoReaderCanReachThem) {
    disposed.clear();
    {
        async_list<int> list(dispose);
        list.nasync_append(1);
        list.nasync_append(2);
        list.nasync_append(3);
        list.nasync_remove_node(find(list, 1));
        EXPECT_EQ(disposed, (std::vector<int>{1}));

        list.set_reading(true);
        list.nasync_remove_node(find(list, 2));
        EXPECT_EQ(disposed, (std::vector<int>{1})) << "a reader may still stand on it";
        list.set_reading(false);
        list.nasync_append(4);  // reuses the waiting node
        EXPECT_EQ(disposed, (std::vector<int>{1, 2}));
        EXPECT_EQ(values(list), (std::vector<int>{3, 4}));
    }
    EXPECT_EQ(disposed, (std::vector<int>{1, 2, 3, 4}));
}
