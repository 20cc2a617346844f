#pragma once
// Predicates over values, in the two forms the system uses: a block, and the format
// "SELF == %@" (the object equal to the argument, by the values' equality).

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class NSPredicate;
using NSPredicatePtr = std::shared_ptr<NSPredicate>;

class NSPredicate : public NSObject {
public:
    using Block = std::function<bool(const Value& object)>;

    NSPredicate(std::string format, Block block) : format_(std::move(format)), block_(std::move(block)) {}

    static NSPredicatePtr predicateWithBlock(Block block);
    // Only "SELF == %@" (spaces around "==" optional); any other format throws an NSException
    // named "NSInvalidArgumentException", as an unparsable format does on the platform.
    static NSPredicatePtr predicateWithFormat(const std::string& format, const Value& argument);

    bool evaluateWithObject(const Value& object) const { return block_ && block_(object); }
    const std::string& predicateFormat() const { return format_; }

    // -filteredArrayUsingPredicate: for a list of objects, order kept.
    template <class T>
    std::vector<std::shared_ptr<T>> filter(const std::vector<std::shared_ptr<T>>& objects) const {
        std::vector<std::shared_ptr<T>> kept;
        for (const auto& object : objects)
            if (evaluateWithObject(Value(object))) kept.push_back(object);
        return kept;
    }

private:
    std::string format_;
    Block block_;
};
