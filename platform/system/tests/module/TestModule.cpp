// A small module that tests open with dlopen: one function that answers and one that faults.

extern "C" {

__attribute__((visibility("default"))) int vdtest_module_answer() { return 42; }

// Reads through the pointer (a null one faults); the load is written out so that neither the
// compiler nor the sanitizers stand in for the fault, and the frame stays so that the pc lies here.
__attribute__((visibility("default"), noinline)) int vdtest_module_fault(volatile int* target) {
    int value;
    __asm__ volatile("movl (%1), %0" : "=r"(value) : "r"(target) : "memory");
    return value + 1;
}

}
