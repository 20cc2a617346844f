// Writing one report at crash time: the other threads suspended, every section a nested message
// sized by a dry run of its writer and then written straight through the file writer. No heap, no
// locks, fixed stack buffers only.
#include "sdk/crashreporter/VuderuCrashLogWriter.h"

#include "platform/system/thread_act.h"
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"
#include "sdk/crashreporter/VuderuCrashFrameWalker.h"
#include "sdk/crashreporter/VuderuCrashLogWriterEncoding.h"

#include <ctime>

namespace {

using File = vdcrash_async_file_t;

constexpr uint32_t kOperatingSystemIPhoneOS = 1;
constexpr uint32_t kArchitectureUnknown = 6;
constexpr uint32_t kTypeEncodingMach = 1;

struct Report {
    vdcrash_log_writer_t* writer;
    vdcrash_async_image_list_t* images;
    vdcrash_async_symbol_cache_t symbols;
    vdcrash_log_writer_detail_t detail;
    task_t task;
    // The crashed thread's frames, gathered for the smallest detail, whose images are the only
    // ones written.
    uint64_t crashed_pcs[VDCRASH_MAX_FRAMES];
    uint32_t crashed_pc_count;
};

// A nested message: its size from a dry run of `write`, then key, size and content.
template <typename Writer>
size_t packMessage(File* file, uint32_t field, Writer&& write) {
    uint32_t size = static_cast<uint32_t>(write(nullptr));
    size_t n = vdcrash_writer_pack(file, field, VDCRASH_PROTOBUF_C_TYPE_MESSAGE, &size);
    return n + (file ? write(file) : size);
}

size_t packString(File* file, uint32_t field, const char* s) {
    return vdcrash_writer_pack(file, field, VDCRASH_PROTOBUF_C_TYPE_STRING, s ? s : "");
}
size_t packU64(File* file, uint32_t field, uint64_t v) { return vdcrash_writer_pack(file, field, VDCRASH_PROTOBUF_C_TYPE_UINT64, &v); }
size_t packU32(File* file, uint32_t field, uint32_t v) { return vdcrash_writer_pack(file, field, VDCRASH_PROTOBUF_C_TYPE_UINT32, &v); }
size_t packEnum(File* file, uint32_t field, uint32_t v) { return vdcrash_writer_pack(file, field, VDCRASH_PROTOBUF_C_TYPE_ENUM, &v); }
size_t packBool(File* file, uint32_t field, bool v) {
    uint8_t byte = v ? 1 : 0;
    return vdcrash_writer_pack(file, field, VDCRASH_PROTOBUF_C_TYPE_BOOL, &byte);
}

// "#%d" into a 10-byte buffer, cut to fit.
void formatNumber(char buffer[10], int32_t value) {
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude && n < 11);
    int at = 0;
    buffer[at++] = '#';
    if (value < 0) buffer[at++] = '-';
    while (n > 0 && at < 9) buffer[at++] = digits[--n];
    buffer[at] = 0;
}

struct FoundSymbol {
    bool found;
    uint64_t address;
    char name[VDCRASH_ASYNC_SYMBOL_NAME_BUFFER];
};

void holdSymbol(vm_address_t address, const char* name, void* ctx) {
    auto* symbol = static_cast<FoundSymbol*>(ctx);
    symbol->found = true;
    symbol->address = address;
    size_t i = 0;
    for (; name[i] && i + 1 < sizeof symbol->name; ++i) symbol->name[i] = name[i];
    symbol->name[i] = 0;
}

void lookUpSymbol(Report& report, uint64_t pc, FoundSymbol* symbol) {
    symbol->found = false;
    if (report.writer->symbol_strategy == VDCRASH_ASYNC_SYMBOL_STRATEGY_NONE ||
        report.detail == VDCRASH_LOG_WRITER_DETAIL_NO_SYMBOLS)
        return;
    vdcrash_async_image_list_set_reading(report.images, true);
    vdcrash_async_image_t* image = vdcrash_async_image_containing_address(report.images, pc);
    if (image)
        vdcrash_async_find_symbol(&image->macho_image, report.writer->symbol_strategy, &report.symbols, pc, holdSymbol,
                                  symbol);
    vdcrash_async_image_list_set_reading(report.images, false);
}

// Every frame but the innermost holds a return address, which may lie just past the end of the
// calling function (a call that never returns is often its last instruction): the symbol is looked
// up for the byte before it, the call itself.
size_t writeFrame(File* file, Report& report, uint64_t pc, bool returnAddress = false) {
    size_t n = packU64(file, 3, pc);
    FoundSymbol symbol;
    lookUpSymbol(report, returnAddress && pc > 0 ? pc - 1 : pc, &symbol);
    if (symbol.found)
        n += packMessage(file, 6, [&](File* f) { return packString(f, 1, symbol.name) + packU64(f, 2, symbol.address); });
    return n;
}

size_t writeRegisters(File* file, const vdframe_cursor_t* cursor) {
    size_t n = 0;
    for (size_t r = 0; r < vdframe_cursor_get_regcount(cursor); ++r) {
        auto regnum = static_cast<vdcrash_regnum_t>(r);
        vdcrash_greg_t value = 0;
        if (vdframe_cursor_get_reg(cursor, regnum, &value) != VDFRAME_ESUCCESS) value = 0;
        const char* name = vdframe_cursor_get_regname(cursor, regnum);
        n += packMessage(file, 4, [&](File* f) { return packString(f, 1, name) + packU64(f, 2, value); });
    }
    return n;
}

// Walks a thread from `state` (or from the suspended thread's own registers when null), calling
// `frame(pc, returnAddress)` for each frame and `first(cursor)` after the first step; NO when there are no
// registers to start from.
template <typename OnFirst, typename OnFrame>
bool walkThread(Report& report, thread_t thread, const vdcrash_async_thread_state_t* state, OnFirst&& first,
                OnFrame&& frame) {
    vdframe_cursor_t cursor;
    if (state)
        vdframe_cursor_init(&cursor, report.task, state, report.images);
    else if (vdframe_cursor_thread_init(&cursor, report.task, thread, report.images) != VDFRAME_ESUCCESS)
        return false;
    for (uint32_t count = 0; count < VDCRASH_MAX_FRAMES; ++count) {
        if (vdframe_cursor_next(&cursor) != VDFRAME_ESUCCESS) break;
        if (count == 0) first(&cursor);
        vdcrash_greg_t pc = 0;
        if (vdframe_cursor_get_reg(&cursor, VDCRASH_REG_IP, &pc) != VDFRAME_ESUCCESS) break;
        frame(static_cast<uint64_t>(pc), count > 0);
    }
    vdframe_cursor_free(&cursor);
    return true;
}

size_t writeThread(File* file, Report& report, thread_t thread, uint32_t number, bool crashed,
                   const vdcrash_async_thread_state_t* state) {
    size_t n = packU32(file, 1, number) + packBool(file, 3, crashed);
    if (!crashed && report.detail != VDCRASH_LOG_WRITER_DETAIL_FULL) return n;
    walkThread(
        report, thread, state,
        [&](const vdframe_cursor_t* cursor) {
            if (crashed) n += writeRegisters(file, cursor);
        },
        [&](uint64_t pc, bool returnAddress) {
            n += packMessage(file, 2, [&](File* f) { return writeFrame(f, report, pc, returnAddress); });
        });
    return n;
}

bool holdsWrittenFrame(Report& report, const vdcrash_async_macho_t* image) {
    for (uint32_t i = 0; i < report.crashed_pc_count; ++i)
        if (vdcrash_async_macho_contains_address(image, report.crashed_pcs[i])) return true;
    const auto& exception = report.writer->uncaught_exception;
    if (exception.has_exception)
        for (size_t i = 0; i < exception.callstack_count && i < VDCRASH_MAX_FRAMES; ++i)
            if (vdcrash_async_macho_contains_address(image, exception.callstack[i])) return true;
    return false;
}

size_t writeImage(File* file, const vdcrash_async_macho_t* image) {
    size_t n = packU64(file, 2, image->text_size) + packU64(file, 1, image->header_addr) + packString(file, 3, image->name);
    uint8_t uuid[16];
    if (vdcrash_async_macho_uuid(image, uuid)) {
        VDCRASH_PROTOBUF_C_BINARY_DATA bytes = {sizeof uuid, uuid};
        n += vdcrash_writer_pack(file, 4, VDCRASH_PROTOBUF_C_TYPE_BYTES, &bytes);
    }
    uint64_t type = static_cast<uint32_t>(vdcrash_async_macho_cpu_type(image));
    uint64_t subtype = static_cast<uint32_t>(vdcrash_async_macho_cpu_subtype(image));
    n += packMessage(file, 5, [&](File* f) {
        return packEnum(f, 1, kTypeEncodingMach) + packU64(f, 2, type) + packU64(f, 3, subtype);
    });
    return n;
}

size_t writeImages(File* file, Report& report) {
    size_t n = 0;
    vdcrash_async_image_list_set_reading(report.images, true);
    for (vdcrash_async_image_t* image = vdcrash_async_image_list_next(report.images, nullptr); image;
         image = vdcrash_async_image_list_next(report.images, image)) {
        if (report.detail >= VDCRASH_LOG_WRITER_DETAIL_FRAME_IMAGES_ONLY && !holdsWrittenFrame(report, &image->macho_image))
            continue;
        n += packMessage(file, 4, [&](File* f) { return writeImage(f, &image->macho_image); });
    }
    vdcrash_async_image_list_set_reading(report.images, false);
    return n;
}

size_t writeSystemInfo(File* file, const vdcrash_log_writer_t* w) {
    size_t n = packEnum(file, 1, kOperatingSystemIPhoneOS) + packString(file, 2, w->system_info.version);
    if (w->system_info.build) n += packString(file, 5, w->system_info.build);
    n += packEnum(file, 3, kArchitectureUnknown);
    time_t now = time(nullptr);
    int64_t timestamp = now == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(now);
    return n + vdcrash_writer_pack(file, 4, VDCRASH_PROTOBUF_C_TYPE_INT64, &timestamp);
}

size_t writeMachineInfo(File* file, const vdcrash_log_writer_t* w) {
    size_t n = w->machine_info.model ? packString(file, 1, w->machine_info.model) : 0;
    n += packMessage(file, 2, [&](File* f) {
        return packEnum(f, 1, kTypeEncodingMach) + packU64(f, 2, w->machine_info.cpu_type) +
               packU64(f, 3, w->machine_info.cpu_subtype);
    });
    return n + packU32(file, 3, w->machine_info.processor_count) + packU32(file, 4, w->machine_info.logical_processor_count);
}

size_t writeProcessInfo(File* file, const vdcrash_log_writer_t* w) {
    const auto& p = w->process_info;
    size_t n = p.process_name ? packString(file, 1, p.process_name) : 0;
    n += packU32(file, 2, static_cast<uint32_t>(p.process_id));
    if (p.process_path) n += packString(file, 3, p.process_path);
    if (p.parent_process_name) n += packString(file, 4, p.parent_process_name);
    n += packU32(file, 5, static_cast<uint32_t>(p.parent_process_id)) + packBool(file, 6, p.native);
    return n + packU64(file, 7, p.start_time);
}

size_t writeReportInfo(File* file, const vdcrash_log_writer_t* w) {
    VDCRASH_PROTOBUF_C_BINARY_DATA uuid = {sizeof w->report_info.uuid, w->report_info.uuid};
    return packBool(file, 1, w->report_info.user_requested) +
           vdcrash_writer_pack(file, 2, VDCRASH_PROTOBUF_C_TYPE_BYTES, &uuid);
}

size_t writeException(File* file, Report& report) {
    const auto& e = report.writer->uncaught_exception;
    size_t n = packString(file, 1, e.name) + packString(file, 2, e.reason);
    for (size_t i = 0; i < e.callstack_count && i < VDCRASH_MAX_FRAMES; ++i)
        n += packMessage(file, 3, [&](File* f) { return writeFrame(f, report, e.callstack[i]); });
    return n;
}

size_t writeSignal(File* file, const vdcrash_log_writer_crash_info_t* info) {
    const vdcrash_log_signal_info_t* s = info->signal_info;
    char name[10], code[10];
    const char* signame = vdcrash_async_signal_signame(s->signo);
    const char* codename = vdcrash_async_signal_sigcode(s->signo, s->code);
    if (!signame) formatNumber(name, s->signo);
    if (!codename) formatNumber(code, s->code);
    size_t n = packString(file, 1, signame ? signame : name) + packString(file, 2, codename ? codename : code) +
               packU64(file, 3, s->address);
    if (const vdcrash_log_mach_info_t* mach = info->mach_info) {
        n += packMessage(file, 4, [&](File* f) {
            size_t m = packU64(f, 1, static_cast<uint64_t>(static_cast<int64_t>(mach->type)));
            for (mach_msg_type_number_t i = 0; i < mach->code_count; ++i)
                m += packU64(f, 2, static_cast<uint64_t>(mach->code[i]));
            return m;
        });
    }
    return n;
}

void writeThreads(File* file, Report& report, const thread_t* threads, mach_msg_type_number_t count, thread_t self,
                  thread_t crashed, const vdcrash_async_thread_state_t* current_state) {
    uint32_t number = 0;
    for (mach_msg_type_number_t i = 0; i < count; ++i) {
        thread_t thread = threads[i];
        if (thread == self && !current_state) continue;
        const vdcrash_async_thread_state_t* state = thread == self ? current_state : nullptr;
        bool isCrashed = thread == crashed;
        packMessage(file, 3, [&](File* f) { return writeThread(f, report, thread, number, isCrashed, state); });
        ++number;
    }
}

void gatherCrashedFrames(Report& report, thread_t crashed, thread_t self, const vdcrash_async_thread_state_t* current_state) {
    report.crashed_pc_count = 0;
    if (crashed == self && !current_state) return;
    walkThread(
        report, crashed, crashed == self ? current_state : nullptr, [](const vdframe_cursor_t*) {},
        [&](uint64_t pc, bool) { report.crashed_pcs[report.crashed_pc_count++] = pc; });
}

} // namespace

vdcrash_error_t vdcrash_log_writer_write(vdcrash_log_writer_t* writer, thread_t crashed_thread,
                                         vdcrash_async_image_list_t* image_list, vdcrash_async_file_t* file,
                                         const vdcrash_log_writer_crash_info_t* crash_info,
                                         const vdcrash_async_thread_state_t* current_state,
                                         vdcrash_log_writer_detail_t detail) {
    task_t task = mach_task_self();
    thread_t self = vd_mach_thread_self();
    thread_act_array_t threads = nullptr;
    mach_msg_type_number_t count = 0;
    if (task_threads(task, &threads, &count) != KERN_SUCCESS) {
        threads = nullptr;
        count = 0;
    }
    for (mach_msg_type_number_t i = 0; i < count; ++i)
        if (threads[i] != self) thread_suspend(threads[i]);

    Report report;
    report.writer = writer;
    report.images = image_list;
    report.detail = detail;
    report.task = task;
    vdcrash_async_symbol_cache_init(&report.symbols);
    if (detail >= VDCRASH_LOG_WRITER_DETAIL_FRAME_IMAGES_ONLY) gatherCrashedFrames(report, crashed_thread, self, current_state);

    const char magic[] = {'v', 'd', 'c', 'r', 'a', 's', 'h', 1};
    vdcrash_async_file_write(file, magic, sizeof magic);
    packMessage(file, 9, [&](File* f) { return writeReportInfo(f, writer); });
    packMessage(file, 1, [&](File* f) { return writeSystemInfo(f, writer); });
    packMessage(file, 8, [&](File* f) { return writeMachineInfo(f, writer); });
    packMessage(file, 2, [&](File* f) {
        return packString(f, 1, writer->application_info.app_identifier) +
               packString(f, 2, writer->application_info.app_version);
    });
    packMessage(file, 7, [&](File* f) { return writeProcessInfo(f, writer); });
    writeThreads(file, report, threads, count, self, crashed_thread, current_state);
    writeImages(file, report);
    if (writer->uncaught_exception.has_exception) packMessage(file, 5, [&](File* f) { return writeException(f, report); });
    packMessage(file, 6, [&](File* f) { return writeSignal(f, crash_info); });

    vdcrash_async_symbol_cache_free(&report.symbols);
    for (mach_msg_type_number_t i = 0; i < count; ++i) {
        if (threads[i] != self) thread_resume(threads[i]);
        mach_port_deallocate(task, threads[i]);
    }
    if (threads) vm_deallocate(task, reinterpret_cast<vm_address_t>(threads), count * sizeof(thread_t));
    return VDCRASH_ESUCCESS;
}
