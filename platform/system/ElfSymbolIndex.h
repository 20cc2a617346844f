#pragma once
// An address index of an ELF symbol table's defined code symbols, built when an image is
// registered so that a crash-time lookup is a binary search with plain loads: no system call, no
// allocation, async-signal-safe. The index splits the address space into ranges, each naming the
// symbol that holds its addresses (or none), with the lookup rules of the whole table applied at
// build time:
// - a symbol with a size holds [address, address + size);
// - a symbol without a size reaches from its address to the next symbol, and no further than the
//   end of a sized symbol that ends above it;
// - the highest symbol at or below an address that holds it wins; at equal addresses a sized
//   symbol wins over one without a size, else the first in table order.

#include <cstddef>
#include <cstdint>

// A defined code symbol as the table holds it (link-time address), given in table order.
struct vdelf_symbol_input {
    uint64_t value;
    uint64_t size;
    uint32_t name;  // the offset of its name in the table's string table
};

struct vdelf_symbol_range {
    uint64_t start;  // the range reaches to the next range's start (the last one has no end)
    uint64_t value;  // the symbol's address
    uint32_t name;
    uint32_t has_symbol;
};

struct vdelf_symbol_index {
    const vdelf_symbol_range* ranges;  // read-only anonymous memory; null when the table is empty
    size_t count;
    size_t mapping_size;
    bool built;  // set by a successful build, even of a table without code symbols
};

// Not async-signal-safe (registration time). False when the memory for it could not be had.
bool vdelf_nasync_symbol_index_build(const vdelf_symbol_input* symbols, size_t count, vdelf_symbol_index* index);
void vdelf_nasync_symbol_index_free(vdelf_symbol_index* index);
// The symbol that holds `address`: its address and name offset. False when none does.
bool vdelf_symbol_index_find(const vdelf_symbol_index* index, uint64_t address, uint64_t* value, uint32_t* name);
