#include "platform/foundation/NSPredicate.h"

#include "platform/foundation/NSException.h"

#include <algorithm>
#include <cctype>

NSPredicatePtr NSPredicate::predicateWithBlock(Block block) {
    return std::make_shared<NSPredicate>("BLOCKPREDICATE", std::move(block));
}

NSPredicatePtr NSPredicate::predicateWithFormat(const std::string& format, const Value& argument) {
    std::string compact;
    std::copy_if(format.begin(), format.end(), std::back_inserter(compact), [](unsigned char c) { return !std::isspace(c); });
    if (compact != "SELF==%@") throw NSException("NSInvalidArgumentException", "Unable to parse the format string \"" + format + "\"");
    return std::make_shared<NSPredicate>("SELF == " + argument.description(),
                                         [argument](const Value& object) { return object == argument; });
}
