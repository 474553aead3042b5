#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "quantity/unit.hpp"
#include "quantity/value.hpp"

namespace mensurator {

// Variables by stored name. A document defines many variables in comparatively few units, and the
// table is looked up for every name of every statement, so it is kept small and flat: one
// open-addressing table of dense ids; per id a compact entry in blocks that double in size and
// never move, so that growing copies nothing; names copied into blocks; units interned. A table
// of a few variables allocates little.
class VariableTable {
  public:
    VariableTable() = default;
    VariableTable(std::initializer_list<std::pair<std::string_view, Value>> entries);
    VariableTable(VariableTable&&) noexcept = default;
    VariableTable& operator=(VariableTable&&) noexcept = default;

    std::optional<Value> find(std::string_view name) const;
    // Returns the variable's id: dense, in the order in which names were first inserted.
    std::uint32_t insert_or_assign(std::string_view name, const Value& value);
    std::optional<std::uint32_t> id_of(std::string_view name) const;
    std::size_t size() const { return size_; }
    // Room for `count` variables, so that defining that many grows nothing.
    void reserve(std::size_t count);

  private:
    struct Entry {
        const char* name;
        std::uint32_t name_size;
        std::uint32_t unit;
        double number;
    };
    static_assert(sizeof(Entry) == 24, "a variable costs 24 bytes besides its name and slot");

    // A unit's bits in four words, compared and hashed as they are: the exponents (reduced, so
    // equal bits are equal values), the power of ten and the factor's bits.
    using UnitBits = std::array<std::uint64_t, 4>;
    static UnitBits bits_of(const Unit& unit);

    // A slot holds the 32 bits of its key's hash above the key's id + 1 (0: empty), so that a
    // probe compares a key only when the hashes agree, and growing hashes nothing again.
    using Slot = std::uint64_t;
    static constexpr Slot empty_slot = 0;
    static constexpr std::size_t first_block_entries = 32;  // block k holds 32 << k

    std::size_t size_ = 0;
    std::vector<std::unique_ptr<Entry[]>> entry_blocks_;
    std::vector<Slot> slots_;  // a power of two of them, at most three quarters taken
    std::vector<std::unique_ptr<char[]>> name_blocks_;
    std::size_t last_name_block_ = 0;  // its size
    char* block_next_ = nullptr;
    std::size_t block_left_ = 0;
    std::vector<Unit> units_;
    std::vector<Slot> unit_slots_;  // the same, over units_

    Entry& entry(std::uint32_t id) const {
        const std::size_t block = std::bit_width(id / first_block_entries + 1) - 1;
        return entry_blocks_[block][id - first_block_entries * ((std::size_t{1} << block) - 1)];
    }
    // The slot of `name`: the one holding it, or the empty one where it would go.
    std::size_t slot_of(std::string_view name, std::uint32_t hash) const;
    const char* keep_name(std::string_view name);
    std::uint32_t unit_id(const Unit& unit);
};

}  // namespace mensurator
