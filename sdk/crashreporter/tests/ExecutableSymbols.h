#pragma once
// The test executable's full symbol table, read from its file in the ordinary way: what the
// crash reporter's names are checked against.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ExecutableSymbols {
public:
    ExecutableSymbols();
    // The function that holds the address; empty when none does.
    std::string nameOf(const void* code) const;
    // An address between two functions, in the padding after one of them; 0 when there is none.
    uintptr_t addressBetweenFunctions() const;

private:
    struct Function {
        uintptr_t start;
        size_t size;
        std::string name;
    };
    std::vector<Function> functions_;
};

template <typename Function>
const void* code(Function* function) {
    return reinterpret_cast<const void*>(function);
}
