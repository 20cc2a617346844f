#pragma once
// Per-session sequence numbers of events and errors, one series per kind.

#include "platform/foundation/NSObject.h"

#include <map>
#include <memory>
#include <mutex>

enum VuderuAutoIncrementKind : int {
    VuderuAutoIncrementKindErrors = 1,
    VuderuAutoIncrementKindEvents = 2,
};

class VuderuAutoIncrement : public NSObject {
public:
    static std::shared_ptr<VuderuAutoIncrement> instance();

    // 1 for a kind not yet counted, else one more than the last number of the kind.
    int nextCountFor(int kind);
    // Forgets every kind: numbers start again at 1 (at every new session).
    void resetAll();

private:
    std::mutex lock_;
    std::map<int, int> counters_;
};
