#pragma once
// One page's script engine: a Duktape heap of its own, its memory capped (past the cap a script
// gets an out-of-memory error) and every evaluation bounded by a budget of time on the platform
// clock (an overrun stops the script with a RangeError that the page cannot outrun: the check stays
// tripped until the evaluation returns).
//
// On the real clock a script's time is the real time it takes. A manual clock stands still while
// the main thread works, so there the engine moves it by the work it does: each evaluation moves
// the clock by kEvaluationSeconds as it starts, each of its checks, made every so many
// instructions, by kCheckSeconds, and natives that do bulk work (a parse) by what they report
// (spend). A page's loop thus ends after the same number of
// instructions on any machine, and its time shows on the clock as it would on a device.

#include <cstddef>
#include <string>

struct duk_hthread;
using duk_context = duk_hthread;

class WebScriptEngine {
public:
    explicit WebScriptEngine(std::size_t heapCap);
    ~WebScriptEngine();
    WebScriptEngine(const WebScriptEngine&) = delete;
    WebScriptEngine& operator=(const WebScriptEngine&) = delete;

    // The outcome of one evaluation: its value as the bridge answers it (strings as they are,
    // numbers and booleans as text, "" for anything else), or the error it threw.
    struct Outcome {
        std::string value;
        bool threw = false;
        bool timedOut = false;
        std::string error;
    };
    // Runs the source as a global program; nested evaluations share the outermost one's deadline.
    Outcome evaluate(const std::string& source, const std::string& fileName, double budgetSeconds);
    // Code that every engine runs the same (a page's globals) is parsed once: compile() turns a
    // program into bytecode (empty when it does not compile) and runCompiled() runs it as
    // evaluate() runs source. Only bytecode from compile() may be given: it is trusted as is.
    static std::string compile(const std::string& source, const std::string& fileName);
    Outcome runCompiled(const std::string& bytecode, const std::string& fileName, double budgetSeconds);

    duk_context* context() const { return context_; }
    // The engine that owns the context (for native functions).
    static WebScriptEngine& of(duk_context* context);
    // Whatever the engine's owner hangs on it for its native functions.
    void* owner() const { return owner_; }
    void setOwner(void* owner) { owner_ = owner; }

    std::size_t heapBytes() const { return used_; }
    std::size_t heapCap() const { return cap_; }
    std::size_t peakHeapBytes() const { return peak_; }
    bool isEvaluating() const { return depth_ > 0; }

    // What one check's worth of instructions (Duktape checks every 256 Ki instructions) takes on a
    // device, for a manual clock.
    static constexpr double kCheckSeconds = 0.005;
    // What entering the engine for one evaluation takes on a device (the call compiled, its frame
    // set up), for a manual clock: a page that runs many small evaluations (timers by the thousand)
    // costs the clock what they would cost a device, however little each does.
    static constexpr double kEvaluationSeconds = 0.00005;

    // True once the outermost evaluation is past its deadline.
    bool pastDeadline();
    // The engine's own check, made every so many instructions: moves a manual clock by one check's
    // worth, then answers pastDeadline().
    bool checkpoint();
    // Bulk work a native did that would take `seconds` on a device: moves a manual clock by as much
    // (the real clock moved by itself), then answers pastDeadline().
    bool spend(double seconds);

private:
    friend struct WebScriptEngineHooks;
    Outcome run(const std::string& source, const std::string& fileName, double budgetSeconds, bool compiled);

    // Small blocks, which a page makes by the thousand (objects, property tables, short strings),
    // come from slabs of the engine's own, one free list per size; larger ones from the C heap.
    // What the slabs take counts against the cap as a whole, and they go with the engine.
    static constexpr std::size_t kPooledBlockBytes = 256;
    static constexpr std::size_t kPoolSizes = kPooledBlockBytes / 16;
    static constexpr std::size_t kSlabBytes = 32u << 10;
    void* takePooled(std::size_t size);
    void returnPooled(void* block);

    std::size_t cap_;
    std::size_t used_ = 0;
    void* slabs_ = nullptr;  // each slab's first word links the one made before it
    char* slabNext_ = nullptr;
    std::size_t slabLeft_ = 0;
    void* freeBlocks_[kPoolSizes] = {};
    std::size_t peak_ = 0;
    duk_context* context_ = nullptr;
    void* owner_ = nullptr;
    int depth_ = 0;
    bool timedOut_ = false;
    bool checked_ = false;
    double deadline_ = 0;  // on PlatformClock::monotonic()
};
