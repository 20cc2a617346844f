// The address index of a symbol table answers as a search of the whole table would: sizes
// honoured, a symbol without a size reaching only to the next symbol, sized symbols winning ties.
#include "platform/system/ElfSymbolIndex.h"
#include "platform/testsupport/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// The holder of `address` by a search of the whole table, in table order.
std::optional<size_t> searchWholeTable(const std::vector<vdelf_symbol_input>& table, uint64_t address) {
    std::optional<size_t> best;
    uint64_t barrier = 0;  // the highest end of a sized symbol that ends at or below the address
    for (size_t i = 0; i < table.size(); ++i) {
        const vdelf_symbol_input& sym = table[i];
        if (sym.value > address) continue;
        if (sym.size > 0 && address - sym.value >= sym.size) {
            barrier = std::max(barrier, sym.value + sym.size);
            continue;
        }
        if (!best || sym.value > table[*best].value ||
            (sym.value == table[*best].value && table[*best].size == 0 && sym.size > 0))
            best = i;
    }
    if (best && table[*best].size == 0 && table[*best].value < barrier) return std::nullopt;
    return best;
}

struct Index {
    vdelf_symbol_index index{};
    explicit Index(const std::vector<vdelf_symbol_input>& table) {
        EXPECT_TRUE(vdelf_nasync_symbol_index_build(table.data(), table.size(), &index));
    }
    ~Index() { vdelf_nasync_symbol_index_free(&index); }
    // The name offset of the holder, -1 when none.
    int64_t nameAt(uint64_t address) const {
        uint64_t value = 0;
        uint32_t name = 0;
        return vdelf_symbol_index_find(&index, address, &value, &name) ? int64_t(name) : -1;
    }
};

struct Case {
    std::string what;
    std::vector<vdelf_symbol_input> table;  // {value, size, name}
    std::vector<std::pair<uint64_t, int64_t>> lookups;  // address, expected name (-1: none)
};

TEST(ElfSymbolIndex, AnswersTheEdgeCasesOfTheWholeTableSearch) {
    const std::vector<Case> cases = {
        {"empty table", {}, {{0, -1}, {0x1000, -1}}},
        {"below the first symbol", {{0x100, 0x10, 1}}, {{0xff, -1}, {0x100, 1}, {0x10f, 1}, {0x110, -1}}},
        {"gap between sized symbols",
         {{0x100, 0x10, 1}, {0x120, 0x10, 2}},
         {{0x110, -1}, {0x11f, -1}, {0x120, 2}, {0x12f, 2}, {0x130, -1}}},
        {"equal addresses: the sized one wins either way round",
         {{0x100, 0, 1}, {0x100, 0x20, 2}, {0x200, 0x20, 3}, {0x200, 0, 4}},
         {{0x100, 2}, {0x11f, 2}, {0x120, -1}, {0x210, 3}, {0x220, -1}}},
        {"equal addresses, both unsized or both sized: the first in table order",
         {{0x100, 0, 5}, {0x100, 0, 6}, {0x200, 0x10, 7}, {0x200, 0x40, 8}},
         {{0x150, 5}, {0x20f, 7}, {0x210, 8}, {0x240, -1}}},
        {"an unsized symbol reaches to the next symbol",
         {{0x100, 0, 1}, {0x180, 0x10, 2}},
         {{0x17f, 1}, {0x180, 2}, {0x190, -1}}},
        {"the last unsized symbol reaches on", {{0x100, 0x10, 1}, {0x200, 0, 2}}, {{0x1ff, -1}, {0x5000, 2}}},
        {"an unsized symbol inside a sized one that ends",
         {{0x100, 0x40, 1}, {0x120, 0, 2}},
         {{0x11f, 1}, {0x120, 2}, {0x13f, 2}, {0x140, -1}}},
        {"overlapping sized symbols: the higher one, then the outer one again",
         {{0x100, 0x100, 1}, {0x140, 0x20, 2}},
         {{0x13f, 1}, {0x140, 2}, {0x15f, 2}, {0x160, 1}, {0x1ff, 1}, {0x200, -1}}},
        {"a size past the end of the address space", {{UINT64_MAX - 4, 100, 1}}, {{UINT64_MAX, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index index(c.table);
        for (auto [address, name] : c.lookups) {
            SCOPED_TRACE(address);
            EXPECT_EQ(index.nameAt(address), name);
            std::optional<size_t> whole = searchWholeTable(c.table, address);
            EXPECT_EQ(whole ? int64_t(c.table[*whole].name) : -1, name) << "the whole-table search agrees";
        }
    }
}

TEST(ElfSymbolIndex, AgreesWithTheWholeTableSearchOnCrowdedTables) {
    std::mt19937_64 random(17);
    for (int round = 0; round < 200; ++round) {
        std::vector<vdelf_symbol_input> table;
        size_t count = 1 + random() % 40;
        for (size_t i = 0; i < count; ++i) {
            uint64_t size = random() % 3 == 0 ? 0 : 1 + random() % 24;
            table.push_back({0x1000 + random() % 128, size, static_cast<uint32_t>(i)});
        }
        Index index(table);
        for (uint64_t address = 0xff0; address < 0x10b0; ++address) {
            std::optional<size_t> whole = searchWholeTable(table, address);
            ASSERT_EQ(index.nameAt(address), whole ? int64_t(*whole) : -1) << "round " << round << " at " << address;
        }
    }
}

TEST(ElfSymbolIndex, GivesTheHoldersAddress) {
    Index index({{0x100, 0x40, 1}, {0x120, 0, 2}});
    uint64_t value = 0;
    uint32_t name = 0;
    ASSERT_TRUE(vdelf_symbol_index_find(&index.index, 0x13f, &value, &name));
    EXPECT_EQ(value, 0x120u);
    EXPECT_EQ(name, 2u);
}

// Without the memory for an index the table is searched as it stands: the build says so, and the
// process goes on.
TEST(ElfSymbolIndex, IsLeftUnbuiltWhenMemoryRunsOut) {
    if (!addressSpaceCanBeLimited()) GTEST_SKIP() << "the sanitizers' shadow memory lies beyond any address-space limit";
    constexpr size_t kSymbols = 1u << 20;  // 24 MB of table, as much again for its ranges
    constexpr size_t kAllowance = 8u << 20;
    std::vector<vdelf_symbol_input> table(kSymbols);
    for (size_t i = 0; i < kSymbols; ++i) table[i] = {0x1000 + 0x10 * i, 0x10, static_cast<uint32_t>(i)};
    int status = runInChildProcess([&] {
        if (!limitAddressSpace(kAllowance)) return 3;
        vdelf_symbol_index index{};
        if (vdelf_nasync_symbol_index_build(table.data(), table.size(), &index)) return 1;
        return index.built || index.ranges ? 2 : 0;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
