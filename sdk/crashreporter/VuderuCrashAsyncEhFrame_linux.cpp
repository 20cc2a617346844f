#include "sdk/crashreporter/VuderuCrashAsyncEhFrame_linux.h"

namespace {

// Pointer encodings of .eh_frame and .eh_frame_hdr.
constexpr uint8_t kEncOmit = 0xFF;
constexpr uint8_t kEncFormatMask = 0x0F;
constexpr uint8_t kEncApplicationMask = 0x70;
constexpr uint8_t kEncIndirect = 0x80;
constexpr uint8_t kEncPcRel = 0x10;
constexpr uint8_t kEncDataRel = 0x30;
constexpr uint8_t kEncDataRelSData4 = 0x3B;  // the index of every linker of this host
constexpr size_t kMaxAugmentation = 8;
constexpr int kRememberDepth = 8;
constexpr size_t kWindow = 256;
constexpr int kWindows = 3;          // the index, the FDE and its CIE
constexpr size_t kTableBlock = 128;  // index entries read at once when the search has narrowed to them

// Windows onto task memory shared by every stream of one lookup, so that the FDE, its CIE and
// their instructions cost a read each at most. A window never crosses a page, so that the last
// bytes of a table are readable even when the page after it is not.
struct Window {
    vm_address_t start;
    size_t length;
    uint8_t bytes[kWindow];
};

struct Windows {
    task_t task;
    int next;
    Window slots[kWindows];
};

void openWindows(Windows& w, task_t task) {
    w.task = task;
    w.next = 0;
    for (Window& slot : w.slots) slot.length = 0;
}

// The window that holds `at`, read when none does; null when the memory can't be read.
const Window* windowAt(Windows& w, vm_address_t at) {
    for (const Window& slot : w.slots)
        if (at >= slot.start && at - slot.start < slot.length) return &slot;
    Window& slot = w.slots[w.next];
    w.next = (w.next + 1) % kWindows;
    size_t toPageEnd = vm_page_size - (at & (vm_page_size - 1));
    size_t length = toPageEnd < kWindow ? toPageEnd : kWindow;
    slot.length = 0;
    if (vdcrash_async_read_addr(w.task, at, slot.bytes, length) != KERN_SUCCESS) return nullptr;
    slot.start = at;
    slot.length = length;
    return &slot;
}

// A byte stream over task memory, read through the lookup's windows.
struct Stream {
    Windows* windows;
    vm_address_t pos;
    bool failed;
};

void openStream(Stream& s, Windows& windows, vm_address_t at) {
    s.windows = &windows;
    s.pos = at;
    s.failed = false;
}

uint8_t byte(Stream& s) {
    if (s.failed) return 0;
    const Window* window = windowAt(*s.windows, s.pos);
    if (!window) {
        s.failed = true;
        return 0;
    }
    return window->bytes[s.pos++ - window->start];
}

uint64_t unsignedBytes(Stream& s, int count) {
    uint64_t v = 0;
    for (int i = 0; i < count; ++i) v |= uint64_t(byte(s)) << (8 * i);
    return v;
}

uint64_t uleb(Stream& s) {
    uint64_t v = 0;
    for (unsigned shift = 0; !s.failed; shift += 7) {
        uint8_t b = byte(s);
        if (shift < 64) v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) break;
    }
    return v;
}

int64_t sleb(Stream& s) {
    uint64_t v = 0;
    unsigned shift = 0;
    uint8_t b = 0;
    do {
        b = byte(s);
        if (shift < 64) v |= uint64_t(b & 0x7F) << shift;
        shift += 7;
    } while ((b & 0x80) && !s.failed);
    if (shift < 64 && (b & 0x40)) v |= ~uint64_t(0) << shift;
    return static_cast<int64_t>(v);
}

// An encoded pointer; `dataBase` serves the data-relative encoding (the index's own address).
bool encoded(Stream& s, uint8_t encoding, vm_address_t dataBase, uint64_t* out) {
    if (encoding == kEncOmit) return false;
    vm_address_t at = s.pos;
    uint64_t v = 0;
    switch (encoding & kEncFormatMask) {
    case 0x00: case 0x04: case 0x0C: v = unsignedBytes(s, 8); break;
    case 0x01: v = uleb(s); break;
    case 0x02: v = unsignedBytes(s, 2); break;
    case 0x03: v = unsignedBytes(s, 4); break;
    case 0x09: v = static_cast<uint64_t>(sleb(s)); break;
    case 0x0A: v = static_cast<uint64_t>(int64_t(int16_t(unsignedBytes(s, 2)))); break;
    case 0x0B: v = static_cast<uint64_t>(int64_t(int32_t(unsignedBytes(s, 4)))); break;
    default: return false;
    }
    switch (encoding & kEncApplicationMask) {
    case 0x00: break;
    case kEncPcRel: v += at; break;
    case kEncDataRel: v += dataBase; break;
    default: return false;  // text-, function-relative and aligned pointers: not used on this host
    }
    if (encoding & kEncIndirect) {
        uint64_t target = 0;
        if (vdcrash_async_read_addr(s.windows->task, static_cast<vm_address_t>(v), &target, sizeof target) !=
            KERN_SUCCESS)
            return false;
        v = target;
    }
    *out = v;
    return !s.failed;
}

// The length field of a CIE or an FDE; `end` is where the entry ends.
bool entryLength(Stream& s, vm_address_t* end, bool* wide) {
    uint64_t length = unsignedBytes(s, 4);
    *wide = length == 0xFFFFFFFF;
    if (*wide) length = unsignedBytes(s, 8);
    if (s.failed || length == 0) return false;
    *end = s.pos + length;
    return *end > s.pos;
}

struct Cie {
    uint64_t codeAlign;
    int64_t dataAlign;
    uint64_t returnRegister;
    uint8_t fdeEncoding;
    bool hasAugmentationData;
    bool signalFrame;
    vm_address_t instructions;
    vm_address_t end;
};

bool readCie(Windows& windows, vm_address_t at, Cie* cie) {
    Stream s;
    openStream(s, windows, at);
    bool wide = false;
    if (!entryLength(s, &cie->end, &wide)) return false;
    if (unsignedBytes(s, wide ? 8 : 4) != 0) return false;  // not a CIE
    uint8_t version = byte(s);
    if (version != 1 && version != 3 && version != 4) return false;
    char augmentation[kMaxAugmentation + 1];
    size_t n = 0;
    for (char c = static_cast<char>(byte(s)); c; c = static_cast<char>(byte(s))) {
        if (n == kMaxAugmentation || s.failed) return false;
        augmentation[n++] = c;
    }
    augmentation[n] = 0;
    if (version == 4) {
        if (byte(s) != 8 || byte(s) != 0) return false;  // address size, segment size
    }
    size_t next = 0;
    if (n >= 2 && augmentation[0] == 'e' && augmentation[1] == 'h') {
        unsignedBytes(s, 8);  // the old GCC's exception-table pointer
        next = 2;
    }
    cie->codeAlign = uleb(s);
    cie->dataAlign = sleb(s);
    cie->returnRegister = version == 1 ? byte(s) : uleb(s);
    cie->fdeEncoding = 0;
    cie->signalFrame = false;
    cie->hasAugmentationData = augmentation[next] == 'z';
    if (cie->hasAugmentationData) {
        uint64_t length = uleb(s);
        vm_address_t dataEnd = s.pos + length;
        for (size_t i = next + 1; i < n; ++i) {
            switch (augmentation[i]) {
            case 'L': byte(s); break;  // the LSDA's encoding: the pointer is in each FDE
            case 'R': cie->fdeEncoding = byte(s); break;
            case 'P': {
                uint64_t personality = 0;
                if (!encoded(s, byte(s), 0, &personality)) return false;
                break;
            }
            case 'S': cie->signalFrame = true; break;
            case 'B': break;
            default: return false;
            }
        }
        s.pos = dataEnd;
    }
    cie->instructions = s.pos;
    return !s.failed && cie->instructions <= cie->end;
}

struct Fde {
    Cie cie;
    uint64_t begin;
    uint64_t range;
    vm_address_t instructions;
    vm_address_t end;
};

bool readFde(Windows& windows, vm_address_t at, Fde* fde) {
    Stream s;
    openStream(s, windows, at);
    bool wide = false;
    if (!entryLength(s, &fde->end, &wide)) return false;
    vm_address_t idAt = s.pos;
    uint64_t cieOffset = unsignedBytes(s, wide ? 8 : 4);
    if (s.failed || cieOffset == 0 || cieOffset > idAt) return false;
    if (!readCie(windows, idAt - cieOffset, &fde->cie)) return false;
    if (!encoded(s, fde->cie.fdeEncoding, 0, &fde->begin)) return false;
    if (!encoded(s, fde->cie.fdeEncoding & kEncFormatMask, 0, &fde->range)) return false;
    if (fde->cie.hasAugmentationData) s.pos += uleb(s);
    fde->instructions = s.pos;
    return !s.failed && fde->instructions <= fde->end;
}

// The last entry of the index [low, high) that starts at or below `pc`; false when the index
// can't be read. Single entries are read until the range fits one block, which is read whole.
bool searchIndex(task_t task, vm_address_t hdr, vm_address_t table, uint64_t low, uint64_t high, vm_address_t pc,
                 int32_t found[2], bool* any) {
    int32_t block[kTableBlock][2];
    while (high - low > kTableBlock) {
        uint64_t middle = low + (high - low) / 2;
        if (vdcrash_async_read_addr(task, table + middle * sizeof block[0], block[0], sizeof block[0]) != KERN_SUCCESS)
            return false;
        if (hdr + static_cast<int64_t>(block[0][0]) <= pc) {
            found[0] = block[0][0];
            found[1] = block[0][1];
            *any = true;
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == high) return true;
    if (vdcrash_async_read_addr(task, table + low * sizeof block[0], block, (high - low) * sizeof block[0]) !=
        KERN_SUCCESS)
        return false;
    for (uint64_t i = 0; i < high - low && hdr + static_cast<int64_t>(block[i][0]) <= pc; ++i) {
        found[0] = block[i][0];
        found[1] = block[i][1];
        *any = true;
    }
    return true;
}

// The FDE whose range holds `pc`, through the binary-search index of .eh_frame_hdr.
// The part of the index [low, high) that can hold `pc`'s entry, narrowed by the image's sample.
void narrow(const vdelf_unwind_sample* sample, vm_address_t hdr, vm_address_t table, uint64_t count,
            vm_address_t pc, uint64_t* low, uint64_t* high) {
    if (!sample || !sample->starts || sample->table != table || sample->entries != count) return;
    size_t first = 0, last = sample->count;  // the first sample that starts above the address
    while (first < last) {
        size_t middle = first + (last - first) / 2;
        if (hdr + static_cast<int64_t>(sample->starts[middle]) <= pc)
            first = middle + 1;
        else
            last = middle;
    }
    if (first == 0) {
        *high = 0;  // below the first entry
        return;
    }
    *low = (first - 1) * VDELF_UNWIND_SAMPLE_STRIDE;
    uint64_t end = *low + VDELF_UNWIND_SAMPLE_STRIDE;
    *high = end < count ? end : count;
}

// The index's entries and their number, from the header of .eh_frame_hdr.
vdcrash_error_t readIndexHeader(Windows& windows, vm_address_t hdr, vm_address_t* table, uint64_t* count) {
    Stream s;
    openStream(s, windows, hdr);
    uint8_t version = byte(s), frameEncoding = byte(s), countEncoding = byte(s), tableEncoding = byte(s);
    if (s.failed) return VDCRASH_EINTERNAL;
    uint64_t frame = 0;
    if (version != 1 || !encoded(s, frameEncoding, hdr, &frame) || !encoded(s, countEncoding, hdr, count) ||
        tableEncoding != kEncDataRelSData4)
        return VDCRASH_EINVALID_DATA;
    *table = s.pos;
    return VDCRASH_ESUCCESS;
}

// The FDE whose range holds `pc`, through the binary-search index of .eh_frame_hdr. The image's
// sample, when it has one, was taken from the same header (read-only memory): it is not read again.
vdcrash_error_t findFde(Windows& windows, vm_address_t hdr, const vdelf_unwind_sample* sample, vm_address_t pc,
                        Fde* fde) {
    vm_address_t table = 0;
    uint64_t count = 0;
    if (sample && sample->starts) {
        table = sample->table;
        count = sample->entries;
    } else {
        vdcrash_error_t err = readIndexHeader(windows, hdr, &table, &count);
        if (err != VDCRASH_ESUCCESS) return err;
    }
    int32_t found[2] = {0, 0};
    bool any = false;
    uint64_t low = 0, high = count;
    narrow(sample, hdr, table, count, pc, &low, &high);
    if (!searchIndex(windows.task, hdr, table, low, high, pc, found, &any)) return VDCRASH_EINTERNAL;
    if (!any) return VDCRASH_ENOTFOUND;
    if (!readFde(windows, hdr + static_cast<int64_t>(found[1]), fde)) return VDCRASH_EINVALID_DATA;
    return pc >= fde->begin && pc - fde->begin < fde->range ? VDCRASH_ESUCCESS : VDCRASH_ENOTFOUND;
}

// A factored offset; damaged tables may overflow it, which must not be undefined behaviour here.
int64_t factored(uint64_t value, int64_t factor) {
    return static_cast<int64_t>(value * static_cast<uint64_t>(factor));
}

void setRule(vdcrash_eh_frame_row_t* row, uint64_t reg, vdcrash_eh_frame_rule_kind_t kind, int64_t value) {
    if (reg < VDCRASH_EH_FRAME_REGISTER_COUNT) row->rules[reg] = {kind, value};
}

// Runs the call-frame instructions in [at, end) from `loc` until the row passes `target`.
// `initial` is the row after the CIE's instructions (for DW_CFA_restore); null while they run.
bool execute(Windows& windows, const Fde& fde, vm_address_t at, vm_address_t end, uint64_t loc, uint64_t target,
             const vdcrash_eh_frame_row_t* initial, vdcrash_eh_frame_row_t* row) {
    vdcrash_eh_frame_row_t remembered[kRememberDepth];
    int depth = 0;
    const Cie& cie = fde.cie;
    Stream s;
    openStream(s, windows, at);
    auto unsignedOffset = [&] { return factored(uleb(s), cie.dataAlign); };
    auto signedOffset = [&] { return factored(static_cast<uint64_t>(sleb(s)), cie.dataAlign); };
    auto restore = [&](uint64_t reg) {
        if (reg < VDCRASH_EH_FRAME_REGISTER_COUNT)
            row->rules[reg] = initial ? initial->rules[reg] : vdcrash_eh_frame_rule_t{};
    };
    while (s.pos < end && !s.failed) {
        uint8_t op = byte(s);
        uint64_t advance = 0;
        bool isAdvance = true;
        switch (op & 0xC0) {
        case 0x40: advance = (op & 0x3F) * cie.codeAlign; break;
        case 0x80: setRule(row, op & 0x3F, VDCRASH_EH_FRAME_RULE_OFFSET, unsignedOffset()); continue;
        case 0xC0: restore(op & 0x3F); continue;
        default:
            switch (op) {
            case 0x02: advance = unsignedBytes(s, 1) * cie.codeAlign; break;
            case 0x03: advance = unsignedBytes(s, 2) * cie.codeAlign; break;
            case 0x04: advance = unsignedBytes(s, 4) * cie.codeAlign; break;
            default: isAdvance = false; break;
            }
        }
        if (isAdvance) {
            if (loc + advance > target) return true;
            loc += advance;
            continue;
        }
        uint64_t reg = 0;
        switch (op) {
        case 0x00: break;
        case 0x01: {
            uint64_t newLoc = 0;
            if (!encoded(s, cie.fdeEncoding, 0, &newLoc)) return false;
            if (newLoc > target) return true;
            loc = newLoc;
            break;
        }
        case 0x05: reg = uleb(s); setRule(row, reg, VDCRASH_EH_FRAME_RULE_OFFSET, unsignedOffset()); break;
        case 0x06: restore(uleb(s)); break;
        case 0x07: setRule(row, uleb(s), VDCRASH_EH_FRAME_RULE_UNDEFINED, 0); break;
        case 0x08: setRule(row, uleb(s), VDCRASH_EH_FRAME_RULE_SAME_VALUE, 0); break;
        case 0x09: reg = uleb(s); setRule(row, reg, VDCRASH_EH_FRAME_RULE_REGISTER, int64_t(uleb(s))); break;
        case 0x0A:
            if (depth == kRememberDepth) return false;
            remembered[depth++] = *row;
            break;
        case 0x0B:
            if (depth == 0) return false;
            *row = remembered[--depth];
            break;
        case 0x0C:
            row->cfa_register = uleb(s);
            row->cfa_offset = int64_t(uleb(s));
            row->cfa_is_expression = false;
            break;
        case 0x0D: row->cfa_register = uleb(s); row->cfa_is_expression = false; break;
        case 0x0E: row->cfa_offset = int64_t(uleb(s)); break;
        case 0x0F: s.pos += uleb(s); row->cfa_is_expression = true; break;
        case 0x10: case 0x16:
            reg = uleb(s);
            s.pos += uleb(s);
            setRule(row, reg, VDCRASH_EH_FRAME_RULE_EXPRESSION, 0);
            break;
        case 0x11: reg = uleb(s); setRule(row, reg, VDCRASH_EH_FRAME_RULE_OFFSET, signedOffset()); break;
        case 0x12:
            row->cfa_register = uleb(s);
            row->cfa_offset = signedOffset();
            row->cfa_is_expression = false;
            break;
        case 0x13: row->cfa_offset = signedOffset(); break;
        case 0x14: reg = uleb(s); setRule(row, reg, VDCRASH_EH_FRAME_RULE_VAL_OFFSET, unsignedOffset()); break;
        case 0x15: reg = uleb(s); setRule(row, reg, VDCRASH_EH_FRAME_RULE_VAL_OFFSET, signedOffset()); break;
        case 0x2E: uleb(s); break;  // the size of arguments pushed: nothing to unwind
        case 0x2F:
            reg = uleb(s);
            setRule(row, reg, VDCRASH_EH_FRAME_RULE_OFFSET, factored(0 - uleb(s), cie.dataAlign));
            break;
        default: return false;
        }
    }
    return !s.failed;
}

} // namespace

vdcrash_error_t vdcrash_async_eh_frame_find_row(task_t task, vm_address_t eh_frame_hdr, vm_address_t pc,
                                                vdcrash_eh_frame_row_t* row) {
    return vdcrash_async_eh_frame_find_row_sampled(task, eh_frame_hdr, nullptr, pc, row);
}

vdcrash_error_t vdcrash_async_eh_frame_find_row_sampled(task_t task, vm_address_t eh_frame_hdr,
                                                        const vdelf_unwind_sample* sample, vm_address_t pc,
                                                        vdcrash_eh_frame_row_t* row) {
    if (!eh_frame_hdr) return VDCRASH_ENOTFOUND;
    Windows windows;
    openWindows(windows, task);
    Fde fde;
    vdcrash_error_t err = findFde(windows, eh_frame_hdr, sample, pc, &fde);
    if (err != VDCRASH_ESUCCESS) return err;
    vdcrash_async_memset(row, 0, sizeof *row);
    row->return_address_register = fde.cie.returnRegister;
    row->signal_frame = fde.cie.signalFrame;
    if (!execute(windows, fde, fde.cie.instructions, fde.cie.end, 0, ~uint64_t(0), nullptr, row))
        return VDCRASH_EINVALID_DATA;
    vdcrash_eh_frame_row_t initial = *row;
    if (!execute(windows, fde, fde.instructions, fde.end, fde.begin, pc, &initial, row)) return VDCRASH_EINVALID_DATA;
    return VDCRASH_ESUCCESS;
}
