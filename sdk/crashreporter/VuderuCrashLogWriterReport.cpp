// Writing one report at crash time: the other threads suspended, every section a nested message
// sized by a dry run of its writer and then written straight through the file writer. No heap, no
// locks: fixed stack buffers and the copy space prepared with the writer.
//
// A dry run and its write must see the same data, or the size written before an entry is not its
// length and the record does not decode: a thread that was not stopped in time goes on running,
// and the full symbol tables may arrive in the background meanwhile. So what a thread, an image or
// a symbol lookup gives is copied first, and the entry is sized and written from the copy.
#include "sdk/crashreporter/VuderuCrashLogWriter.h"

#include "platform/system/thread_act.h"
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"
#include "sdk/crashreporter/VuderuCrashFrameWalker.h"
#include "sdk/crashreporter/VuderuCrashLogWriterEncoding.h"

#include <cstdlib>
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
    // Read once: the dry run and the write of the system info give the same time.
    int64_t timestamp;
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

constexpr size_t kCapturedRegisterLimit = 64;

struct CapturedFrame {
    uint64_t pc;
    FoundSymbol symbol;
};

struct CapturedRegister {
    const char* name;
    uint64_t value;
};

} // namespace

// One thread's (or the exception's) registers and frames with their symbols, as they were when
// copied.
struct vdcrash_log_writer_capture_t {
    uint32_t register_count;
    CapturedRegister registers[kCapturedRegisterLimit];
    uint32_t frame_count;
    CapturedFrame frames[VDCRASH_MAX_FRAMES];
};

vdcrash_log_writer_capture_t* vdcrash_nasync_log_writer_capture_alloc() {
    return static_cast<vdcrash_log_writer_capture_t*>(calloc(1, sizeof(vdcrash_log_writer_capture_t)));
}

void vdcrash_nasync_log_writer_capture_free(vdcrash_log_writer_capture_t* capture) { free(capture); }

namespace {

void crashLogWriterReportHoldSymbol(vm_address_t address, const char* name, void* ctx) {
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
        vdcrash_async_find_symbol(&image->macho_image, report.writer->symbol_strategy, &report.symbols, pc, crashLogWriterReportHoldSymbol,
                                  symbol);
    vdcrash_async_image_list_set_reading(report.images, false);
}

// Every frame but the innermost holds a return address, which may lie just past the end of the
// calling function (a call that never returns is often its last instruction): the symbol is looked
// up for the byte before it, the call itself.
void captureFrame(Report& report, vdcrash_log_writer_capture_t* capture, uint64_t pc, bool returnAddress) {
    if (capture->frame_count >= VDCRASH_MAX_FRAMES) return;
    CapturedFrame& frame = capture->frames[capture->frame_count++];
    frame.pc = pc;
    lookUpSymbol(report, returnAddress && pc > 0 ? pc - 1 : pc, &frame.symbol);
}

size_t writeFrame(File* file, const CapturedFrame& frame) {
    size_t n = packU64(file, 3, frame.pc);
    if (frame.symbol.found)
        n += packMessage(file, 6, [&](File* f) { return packString(f, 1, frame.symbol.name) + packU64(f, 2, frame.symbol.address); });
    return n;
}

void captureRegisters(vdcrash_log_writer_capture_t* capture, const vdframe_cursor_t* cursor) {
    capture->register_count = 0;
    for (size_t r = 0; r < vdframe_cursor_get_regcount(cursor) && r < kCapturedRegisterLimit; ++r) {
        auto regnum = static_cast<vdcrash_regnum_t>(r);
        vdcrash_greg_t value = 0;
        if (vdframe_cursor_get_reg(cursor, regnum, &value) != VDFRAME_ESUCCESS) value = 0;
        capture->registers[capture->register_count++] = {vdframe_cursor_get_regname(cursor, regnum), static_cast<uint64_t>(value)};
    }
}

size_t writeRegisters(File* file, const vdcrash_log_writer_capture_t* capture) {
    size_t n = 0;
    for (uint32_t r = 0; r < capture->register_count; ++r) {
        const CapturedRegister& reg = capture->registers[r];
        n += packMessage(file, 4, [&](File* f) { return packString(f, 1, reg.name) + packU64(f, 2, reg.value); });
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

// Copies a thread's registers (the crashed thread's) and frames into the writer's copy space.
void captureThread(Report& report, thread_t thread, bool crashed, const vdcrash_async_thread_state_t* state) {
    vdcrash_log_writer_capture_t* capture = report.writer->capture;
    capture->register_count = 0;
    capture->frame_count = 0;
    if (!crashed && report.detail != VDCRASH_LOG_WRITER_DETAIL_FULL) return;
    walkThread(
        report, thread, state,
        [&](const vdframe_cursor_t* cursor) {
            if (crashed) captureRegisters(capture, cursor);
        },
        [&](uint64_t pc, bool returnAddress) { captureFrame(report, capture, pc, returnAddress); });
}

size_t writeThread(File* file, const vdcrash_log_writer_capture_t* capture, uint32_t number, bool crashed) {
    size_t n = packU32(file, 1, number) + packBool(file, 3, crashed) + writeRegisters(file, capture);
    for (uint32_t i = 0; i < capture->frame_count; ++i)
        n += packMessage(file, 2, [&](File* f) { return writeFrame(f, capture->frames[i]); });
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

// What the binary image entry says of an image, copied from it.
struct CapturedImage {
    uint64_t text_size;
    uint64_t header_addr;
    const char* name;
    bool has_uuid;
    uint8_t uuid[16];
    uint64_t type;
    uint64_t subtype;
};

void captureImage(const vdcrash_async_macho_t* image, CapturedImage* captured) {
    captured->text_size = image->text_size;
    captured->header_addr = image->header_addr;
    captured->name = image->name;
    captured->has_uuid = vdcrash_async_macho_uuid(image, captured->uuid);
    captured->type = static_cast<uint32_t>(vdcrash_async_macho_cpu_type(image));
    captured->subtype = static_cast<uint32_t>(vdcrash_async_macho_cpu_subtype(image));
}

size_t writeImage(File* file, const CapturedImage& image) {
    size_t n = packU64(file, 2, image.text_size) + packU64(file, 1, image.header_addr) + packString(file, 3, image.name);
    if (image.has_uuid) {
        VDCRASH_PROTOBUF_C_BINARY_DATA bytes = {sizeof image.uuid, const_cast<uint8_t*>(image.uuid)};
        n += vdcrash_writer_pack(file, 4, VDCRASH_PROTOBUF_C_TYPE_BYTES, &bytes);
    }
    n += packMessage(file, 5, [&](File* f) {
        return packEnum(f, 1, kTypeEncodingMach) + packU64(f, 2, image.type) + packU64(f, 3, image.subtype);
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
        CapturedImage captured;
        captureImage(&image->macho_image, &captured);
        n += packMessage(file, 4, [&](File* f) { return writeImage(f, captured); });
    }
    vdcrash_async_image_list_set_reading(report.images, false);
    return n;
}

size_t writeSystemInfo(File* file, const vdcrash_log_writer_t* w, int64_t timestamp) {
    size_t n = packEnum(file, 1, kOperatingSystemIPhoneOS) + packString(file, 2, w->system_info.version);
    if (w->system_info.build) n += packString(file, 5, w->system_info.build);
    n += packEnum(file, 3, kArchitectureUnknown);
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

void captureException(Report& report) {
    const auto& e = report.writer->uncaught_exception;
    vdcrash_log_writer_capture_t* capture = report.writer->capture;
    capture->register_count = 0;
    capture->frame_count = 0;
    for (size_t i = 0; i < e.callstack_count && i < VDCRASH_MAX_FRAMES; ++i) captureFrame(report, capture, e.callstack[i], false);
}

size_t writeException(File* file, const vdcrash_log_writer_t* w) {
    const auto& e = w->uncaught_exception;
    size_t n = packString(file, 1, e.name) + packString(file, 2, e.reason);
    for (uint32_t i = 0; i < w->capture->frame_count; ++i)
        n += packMessage(file, 3, [&](File* f) { return writeFrame(f, w->capture->frames[i]); });
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
        captureThread(report, thread, isCrashed, state);
        packMessage(file, 3, [&](File* f) { return writeThread(f, report.writer->capture, number, isCrashed); });
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

void vdcrash_log_writer_suspend_threads(vdcrash_log_writer_threads_t* threads) {
    threads->task = mach_task_self();
    threads->self = vd_mach_thread_self();
    threads->list = nullptr;
    threads->count = 0;
    if (task_threads(threads->task, &threads->list, &threads->count) != KERN_SUCCESS) {
        threads->list = nullptr;
        threads->count = 0;
    }
    for (mach_msg_type_number_t i = 0; i < threads->count; ++i)
        if (threads->list[i] != threads->self) thread_suspend(threads->list[i]);
}

void vdcrash_log_writer_resume_threads(vdcrash_log_writer_threads_t* threads) {
    for (mach_msg_type_number_t i = 0; i < threads->count; ++i) {
        if (threads->list[i] != threads->self) thread_resume(threads->list[i]);
        mach_port_deallocate(threads->task, threads->list[i]);
    }
    if (threads->list)
        vm_deallocate(threads->task, reinterpret_cast<vm_address_t>(threads->list), threads->count * sizeof(thread_t));
    threads->list = nullptr;
    threads->count = 0;
}

vdcrash_error_t vdcrash_log_writer_write(vdcrash_log_writer_t* writer, thread_t crashed_thread,
                                         vdcrash_async_image_list_t* image_list, vdcrash_async_file_t* file,
                                         const vdcrash_log_writer_crash_info_t* crash_info,
                                         const vdcrash_async_thread_state_t* current_state,
                                         vdcrash_log_writer_detail_t detail, const vdcrash_log_writer_threads_t* threads) {
    if (!threads) {
        vdcrash_log_writer_threads_t own;
        vdcrash_log_writer_suspend_threads(&own);
        vdcrash_error_t result = vdcrash_log_writer_write(writer, crashed_thread, image_list, file, crash_info, current_state, detail, &own);
        vdcrash_log_writer_resume_threads(&own);
        return result;
    }
    // A writer prepared without its copy space (it could not be had) writes nothing.
    if (!writer->capture) return VDCRASH_ENOMEM;
    thread_t self = threads->self;

    Report report;
    report.writer = writer;
    report.images = image_list;
    report.detail = detail;
    report.task = threads->task;
    time_t now = time(nullptr);
    report.timestamp = now == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(now);
    vdcrash_async_symbol_cache_init(&report.symbols);
    if (detail >= VDCRASH_LOG_WRITER_DETAIL_FRAME_IMAGES_ONLY) gatherCrashedFrames(report, crashed_thread, self, current_state);

    const char magic[] = {'v', 'd', 'c', 'r', 'a', 's', 'h', 1};
    vdcrash_async_file_write(file, magic, sizeof magic);
    packMessage(file, 9, [&](File* f) { return writeReportInfo(f, writer); });
    packMessage(file, 1, [&](File* f) { return writeSystemInfo(f, writer, report.timestamp); });
    packMessage(file, 8, [&](File* f) { return writeMachineInfo(f, writer); });
    packMessage(file, 2, [&](File* f) {
        return packString(f, 1, writer->application_info.app_identifier) +
               packString(f, 2, writer->application_info.app_version);
    });
    packMessage(file, 7, [&](File* f) { return writeProcessInfo(f, writer); });
    writeThreads(file, report, threads->list, threads->count, self, crashed_thread, current_state);
    writeImages(file, report);
    if (writer->uncaught_exception.has_exception) {
        captureException(report);
        packMessage(file, 5, [&](File* f) { return writeException(f, writer); });
    }
    packMessage(file, 6, [&](File* f) { return writeSignal(f, crash_info); });

    vdcrash_async_symbol_cache_free(&report.symbols);
    return VDCRASH_ESUCCESS;
}
