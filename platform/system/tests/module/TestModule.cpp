// A small module that tests open with dlopen: one function that answers and one that faults.

extern "C" {

__attribute__((visibility("default"))) int vdtest_module_answer() { return 42; }

// Reads through a null pointer; the frame stays (no tail call) so that the fault's pc lies here.
__attribute__((visibility("default"), noinline)) int vdtest_module_fault(volatile int* target) {
    int value = *target;
    __asm__ volatile("" ::: "memory");
    return value + 1;
}

}
