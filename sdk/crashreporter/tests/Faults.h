// Faults the crash tests cause on purpose.
#pragma once

inline volatile int* volatile nullTarget = nullptr;

// The load is written out, so that neither the compiler nor the sanitizers stand in for the fault.
__attribute__((noinline)) inline int readNull() {
    int value;
    __asm__ volatile("movl (%1), %0" : "=r"(value) : "r"(nullTarget) : "memory");
    return value;
}
