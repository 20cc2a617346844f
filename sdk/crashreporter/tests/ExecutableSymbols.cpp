#include "sdk/crashreporter/tests/ExecutableSymbols.h"

#include <algorithm>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

ExecutableSymbols::ExecutableSymbols() {
    int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    Elf64_Ehdr ehdr{};
    if (fd < 0) return;
    if (pread(fd, &ehdr, sizeof ehdr, 0) != sizeof ehdr) {
        close(fd);
        return;
    }
    std::vector<Elf64_Shdr> sections(ehdr.e_shnum);
    (void)!pread(fd, sections.data(), sections.size() * sizeof(Elf64_Shdr), static_cast<off_t>(ehdr.e_shoff));
    Dl_info own{};
    static const int anchor = 0;
    dladdr(&anchor, &own);
    uintptr_t bias = ehdr.e_type == ET_DYN ? reinterpret_cast<uintptr_t>(own.dli_fbase) : 0;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_SYMTAB || section.sh_link >= sections.size()) continue;
        std::vector<Elf64_Sym> symbols(section.sh_size / sizeof(Elf64_Sym));
        (void)!pread(fd, symbols.data(), symbols.size() * sizeof(Elf64_Sym), static_cast<off_t>(section.sh_offset));
        const Elf64_Shdr& strings = sections[section.sh_link];
        std::string names(strings.sh_size, '\0');
        (void)!pread(fd, names.data(), names.size(), static_cast<off_t>(strings.sh_offset));
        for (const Elf64_Sym& s : symbols)
            if (ELF64_ST_TYPE(s.st_info) == STT_FUNC && s.st_size > 0 && s.st_name < names.size())
                functions_.push_back({bias + s.st_value, s.st_size, names.c_str() + s.st_name});
    }
    close(fd);
}

std::string ExecutableSymbols::nameOf(const void* code) const {
    auto address = reinterpret_cast<uintptr_t>(code);
    for (const Function& f : functions_)
        if (address >= f.start && address - f.start < f.size) return f.name;
    return "";
}

uintptr_t ExecutableSymbols::addressBetweenFunctions() const {
    std::vector<Function> sorted = functions_;
    std::sort(sorted.begin(), sorted.end(), [](const Function& a, const Function& b) { return a.start < b.start; });
    uintptr_t reach = 0;
    for (size_t i = 0; i + 1 < sorted.size(); ++i) {
        reach = std::max(reach, sorted[i].start + sorted[i].size);
        if (reach < sorted[i + 1].start && reach > sorted[i].start) return reach;
    }
    return 0;
}
