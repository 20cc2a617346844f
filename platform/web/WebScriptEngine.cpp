#include "platform/web/WebScriptEngine.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/Sanitizers.h"

#include <duktape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if TANDREL_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#define TANDREL_POISON_ENGINE_BYTES(start, size) ASAN_POISON_MEMORY_REGION(start, size)
#define TANDREL_UNPOISON_ENGINE_BYTES(start, size) ASAN_UNPOISON_MEMORY_REGION(start, size)
#else
#define TANDREL_POISON_ENGINE_BYTES(start, size) ((void)(start), (void)(size))
#define TANDREL_UNPOISON_ENGINE_BYTES(start, size) ((void)(start), (void)(size))
#endif

namespace {

// Each block carries its size in front, aligned for anything, so that frees and reallocations
// can be counted against the cap. The engine checks the clock only every so many instructions,
// which a loop of a few long native calls (a big join) never reaches: large allocations past the
// deadline fail as well, so such a loop ends with the script's out-of-memory error. Small ones go
// on, for the error the engine throws and the collector that makes room for it: failing those
// would send the collector round and round.
constexpr std::size_t kHeader = alignof(std::max_align_t);
constexpr std::size_t kLargeAllocationBytes = 4096;

std::size_t& blockSize(void* block) { return *static_cast<std::size_t*>(block); }
// A free pooled block links the next free one of its size in its header, after its size.
void*& nextFreeBlock(void* block) { return *reinterpret_cast<void**>(static_cast<char*>(block) + sizeof(std::size_t)); }
std::size_t poolSizeIndex(std::size_t size) { return (size - 1) / 16; }
std::size_t pooledPayloadBytes(std::size_t size) { return (poolSizeIndex(size) + 1) * 16; }

} // namespace

struct WebScriptEngineHooks {
    static void* allocate(void* udata, duk_size_t size) {
        auto& engine = *static_cast<WebScriptEngine*>(udata);
        if (size == 0) return nullptr;
        if (size <= WebScriptEngine::kPooledBlockBytes) return engine.takePooled(size);
        if (engine.used_ + size > engine.cap_ || (size >= kLargeAllocationBytes && engine.pastDeadline())) return nullptr;
        void* block = std::malloc(size + kHeader);
        if (!block) return nullptr;
        blockSize(block) = size;
        engine.used_ += size;
        if (engine.used_ > engine.peak_) engine.peak_ = engine.used_;
        return static_cast<char*>(block) + kHeader;
    }
    static void release(void* udata, void* pointer) {
        if (!pointer) return;
        auto& engine = *static_cast<WebScriptEngine*>(udata);
        void* block = static_cast<char*>(pointer) - kHeader;
        if (blockSize(block) <= WebScriptEngine::kPooledBlockBytes) return engine.returnPooled(block);
        engine.used_ -= blockSize(block);
        std::free(block);
    }
    static void* reallocate(void* udata, void* pointer, duk_size_t size) {
        if (!pointer) return allocate(udata, size);
        if (size == 0) {
            release(udata, pointer);
            return nullptr;
        }
        auto& engine = *static_cast<WebScriptEngine*>(udata);
        void* block = static_cast<char*>(pointer) - kHeader;
        std::size_t old = blockSize(block);
        if (old <= WebScriptEngine::kPooledBlockBytes || size <= WebScriptEngine::kPooledBlockBytes) {
            if (old <= WebScriptEngine::kPooledBlockBytes && size <= WebScriptEngine::kPooledBlockBytes &&
                poolSizeIndex(old) == poolSizeIndex(size)) {
                blockSize(block) = size;
                TANDREL_POISON_ENGINE_BYTES(pointer, pooledPayloadBytes(size));
                TANDREL_UNPOISON_ENGINE_BYTES(pointer, size);
                return pointer;
            }
            void* moved = allocate(udata, size);
            if (!moved) return nullptr;
            std::memcpy(moved, pointer, std::min<std::size_t>(old, size));
            release(udata, pointer);
            return moved;
        }
        if (size > old && (engine.used_ + (size - old) > engine.cap_ || (size >= kLargeAllocationBytes && engine.pastDeadline())))
            return nullptr;
        void* grown = std::realloc(block, size + kHeader);
        if (!grown) return nullptr;
        blockSize(grown) = size;
        engine.used_ = engine.used_ - old + size;
        if (engine.used_ > engine.peak_) engine.peak_ = engine.used_;
        return static_cast<char*>(grown) + kHeader;
    }
    // Reached only for an error thrown outside any protected call, which this file never makes.
    static void fatal(void*, const char* message) {
        NSLog("web view script engine: fatal error: %@", std::string(message ? message : ""));
        std::abort();
    }
};

extern "C" int tandrel_duk_exec_timeout_check(void* udata) {
    return udata && static_cast<WebScriptEngine*>(udata)->checkpoint() ? 1 : 0;
}

WebScriptEngine::WebScriptEngine(std::size_t heapCap) : cap_(heapCap) {
    context_ = duk_create_heap(&WebScriptEngineHooks::allocate, &WebScriptEngineHooks::reallocate,
                               &WebScriptEngineHooks::release, this, &WebScriptEngineHooks::fatal);
    if (!context_) std::abort();
}

WebScriptEngine::~WebScriptEngine() {
    duk_destroy_heap(context_);
    while (slabs_) {
        void* slab = slabs_;
        TANDREL_UNPOISON_ENGINE_BYTES(slab, kSlabBytes);
        slabs_ = *static_cast<void**>(slab);
        std::free(slab);
    }
}

void* WebScriptEngine::takePooled(std::size_t size) {
    const std::size_t index = poolSizeIndex(size);
    void* block = freeBlocks_[index];
    if (block) {
        freeBlocks_[index] = nextFreeBlock(block);
    } else {
        const std::size_t bytes = kHeader + pooledPayloadBytes(size);
        if (slabLeft_ < bytes) {
            if (used_ + kSlabBytes > cap_) return nullptr;
            void* slab = std::malloc(kSlabBytes);
            if (!slab) return nullptr;
            used_ += kSlabBytes;
            if (used_ > peak_) peak_ = used_;
            *static_cast<void**>(slab) = slabs_;
            slabs_ = slab;
            // Blocks start aligned for anything, past the link.
            slabNext_ = static_cast<char*>(slab) + kHeader;
            slabLeft_ = kSlabBytes - kHeader;
            TANDREL_POISON_ENGINE_BYTES(slabNext_, slabLeft_);
        }
        block = slabNext_;
        slabNext_ += bytes;
        slabLeft_ -= bytes;
    }
    TANDREL_UNPOISON_ENGINE_BYTES(block, kHeader + size);
    blockSize(block) = size;
    return static_cast<char*>(block) + kHeader;
}

void WebScriptEngine::returnPooled(void* block) {
    const std::size_t size = blockSize(block);
    TANDREL_POISON_ENGINE_BYTES(static_cast<char*>(block) + kHeader, pooledPayloadBytes(size));
    nextFreeBlock(block) = freeBlocks_[poolSizeIndex(size)];
    freeBlocks_[poolSizeIndex(size)] = block;
}

WebScriptEngine& WebScriptEngine::of(duk_context* context) {
    duk_memory_functions functions;
    duk_get_memory_functions(context, &functions);
    return *static_cast<WebScriptEngine*>(functions.udata);
}

bool WebScriptEngine::pastDeadline() {
    if (depth_ == 0) return false;
    if (!timedOut_ && PlatformClock::monotonic() > deadline_) timedOut_ = true;
    return timedOut_;
}

// A fresh heap makes its first check at its first instruction, before any check's worth of work;
// once the deadline passed, the engine checks at every instruction until the evaluation returns,
// and those checks are no work.
bool WebScriptEngine::checkpoint() {
    const bool first = !checked_;
    checked_ = true;
    return spend(first || timedOut_ ? 0 : kCheckSeconds);
}

bool WebScriptEngine::spend(double seconds) {
    if (depth_ > 0 && seconds > 0 && PlatformClock::isManual()) PlatformClock::advance(seconds);
    return pastDeadline();
}

namespace {

struct EvaluateArguments {
    const std::string* source;  // source text, or bytecode from WebScriptEngine::compile
    const std::string* fileName;
    bool compiled;
};

duk_ret_t evaluateSafely(duk_context* context, void* udata) {
    auto& arguments = *static_cast<EvaluateArguments*>(udata);
    if (arguments.compiled) {
        // Read where it lies: loading copies what it needs into the heap.
        duk_push_external_buffer(context);
        duk_config_buffer(context, -1, const_cast<char*>(arguments.source->data()), arguments.source->size());
        duk_load_function(context);
    } else {
        duk_push_lstring(context, arguments.source->data(), arguments.source->size());
        duk_push_lstring(context, arguments.fileName->data(), arguments.fileName->size());
        duk_compile(context, DUK_COMPILE_EVAL);
    }
    duk_call(context, 0);
    return 1;
}

duk_ret_t compileSafely(duk_context* context, void* udata) {
    auto& arguments = *static_cast<EvaluateArguments*>(udata);
    duk_push_lstring(context, arguments.source->data(), arguments.source->size());
    duk_push_lstring(context, arguments.fileName->data(), arguments.fileName->size());
    duk_compile(context, 0);
    duk_dump_function(context);
    return 1;
}

std::string valueText(duk_context* context) {
    switch (duk_get_type(context, -1)) {
    case DUK_TYPE_STRING: {
        duk_size_t length = 0;
        const char* text = duk_get_lstring(context, -1, &length);
        return std::string(text, length);
    }
    case DUK_TYPE_NUMBER:
    case DUK_TYPE_BOOLEAN:
        return duk_safe_to_string(context, -1);
    default:
        return {};
    }
}

} // namespace

std::string WebScriptEngine::compile(const std::string& source, const std::string& fileName) {
    duk_context* context = duk_create_heap_default();
    if (!context) return {};
    EvaluateArguments arguments{&source, &fileName, false};
    std::string bytecode;
    if (duk_safe_call(context, &compileSafely, &arguments, 0, 1) == DUK_EXEC_SUCCESS) {
        duk_size_t size = 0;
        const void* bytes = duk_get_buffer_data(context, -1, &size);
        bytecode.assign(static_cast<const char*>(bytes), size);
    }
    duk_destroy_heap(context);
    return bytecode;
}

WebScriptEngine::Outcome WebScriptEngine::evaluate(const std::string& source, const std::string& fileName,
                                                   double budgetSeconds) {
    return run(source, fileName, budgetSeconds, false);
}

WebScriptEngine::Outcome WebScriptEngine::runCompiled(const std::string& bytecode, const std::string& fileName,
                                                      double budgetSeconds) {
    return run(bytecode, fileName, budgetSeconds, true);
}

WebScriptEngine::Outcome WebScriptEngine::run(const std::string& source, const std::string& fileName, double budgetSeconds,
                                              bool compiled) {
    if (depth_ == 0) {
        timedOut_ = false;
        deadline_ = PlatformClock::monotonic() + budgetSeconds;
    }
    ++depth_;
    spend(kEvaluationSeconds);
    EvaluateArguments arguments{&source, &fileName, compiled};
    Outcome outcome;
    bool succeeded = duk_safe_call(context_, &evaluateSafely, &arguments, 0, 1) == DUK_EXEC_SUCCESS;
    // Reading the answer allocates: the outermost evaluation's deadline no longer applies to it.
    outcome.timedOut = timedOut_;
    if (--depth_ == 0) timedOut_ = false;
    if (succeeded) {
        outcome.value = valueText(context_);
    } else {
        outcome.threw = true;
        outcome.error = duk_safe_to_string(context_, -1);
    }
    duk_pop(context_);
    return outcome;
}
