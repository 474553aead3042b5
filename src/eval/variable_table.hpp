#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quantity/unit.hpp"
#include "quantity/value.hpp"

namespace mensurator {

// Variables by stored name. A document defines many variables in few distinct units, and the
// table is looked up for every name of every statement, so it is kept small and flat: names are
// copied into large blocks and given dense ids by one open-addressing table, values are stored
// by id, and their units are interned.
class VariableTable {
  public:
    VariableTable() = default;
    VariableTable(std::initializer_list<std::pair<std::string_view, Value>> entries);
    VariableTable(VariableTable&&) noexcept = default;
    VariableTable& operator=(VariableTable&&) noexcept = default;

    std::optional<Value> find(std::string_view name) const;
    void insert_or_assign(std::string_view name, const Value& value);
    std::size_t size() const { return names_.size(); }

  private:
    struct Stored {
        double number;
        std::uint32_t unit;
    };
    static_assert(sizeof(Stored) == 16);

    // A unit's bits, compared and hashed as they are: interning must never merge two units that
    // print or compute differently.
    struct UnitBits {
        std::array<Rational8, base_unit_count> dimensions;
        std::int64_t exp10;
        std::uint64_t factor;
        bool operator==(const UnitBits&) const = default;
    };
    struct UnitBitsHash {
        std::size_t operator()(const UnitBits& bits) const;
    };

    static constexpr std::uint32_t empty_slot = 0;  // slots hold id + 1

    std::vector<std::string_view> names_;  // by id
    std::vector<std::uint32_t> hashes_;    // by id, to compare before the names
    std::vector<Stored> values_;           // by id
    std::vector<std::uint32_t> slots_;     // a power of two of them, at most half taken
    std::vector<std::unique_ptr<char[]>> name_blocks_;
    char* block_next_ = nullptr;
    std::size_t block_left_ = 0;
    std::vector<Unit> units_;
    std::unordered_map<UnitBits, std::uint32_t, UnitBitsHash> unit_ids_;

    static std::uint32_t hash_of(std::string_view name);
    // The slot of `name`: the one holding it, or the empty one where it would go.
    std::size_t slot_of(std::string_view name, std::uint32_t hash) const;
    std::string_view keep_name(std::string_view name);
    std::uint32_t unit_id(const Unit& unit);
    void grow();
};

}  // namespace mensurator
