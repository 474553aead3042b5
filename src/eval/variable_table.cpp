#include "eval/variable_table.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace mensurator {

namespace {

constexpr std::size_t name_block_size = 64 * 1024;

}  // namespace

std::size_t VariableTable::UnitBitsHash::operator()(const UnitBits& bits) const {
    std::size_t hash = std::hash<std::int64_t>{}(bits.exp10) ^ (bits.factor * 0x9e3779b97f4a7c15u);
    for (const Rational8 d : bits.dimensions) {
        const auto byte_pair = static_cast<std::size_t>(static_cast<std::uint8_t>(d.numerator))
                                   << 8 |
                               static_cast<std::uint8_t>(d.denominator);
        hash = (hash ^ byte_pair) * 0x100000001b3u;
    }
    return hash;
}

VariableTable::VariableTable(std::initializer_list<std::pair<std::string_view, Value>> entries) {
    for (const auto& [name, value] : entries) insert_or_assign(name, value);
}

std::uint32_t VariableTable::hash_of(std::string_view name) {
    const std::size_t hash = std::hash<std::string_view>{}(name);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::size_t VariableTable::slot_of(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t taken = slots_[slot];
        if (taken == empty_slot) return slot;
        const std::uint32_t id = taken - 1;
        if (hashes_[id] == hash && names_[id] == name) return slot;
    }
}

std::optional<Value> VariableTable::find(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const std::uint32_t taken = slots_[slot_of(name, hash_of(name))];
    if (taken == empty_slot) return std::nullopt;
    const Stored& stored = values_[taken - 1];
    return Value{stored.number, units_[stored.unit]};
}

void VariableTable::insert_or_assign(std::string_view name, const Value& value) {
    const Stored stored{value.number, unit_id(value.unit)};
    const std::uint32_t hash = hash_of(name);
    if (!slots_.empty()) {
        const std::uint32_t taken = slots_[slot_of(name, hash)];
        if (taken != empty_slot) {
            values_[taken - 1] = stored;
            return;
        }
    }
    if ((names_.size() + 1) * 2 > slots_.size()) grow();
    if (names_.size() >= std::numeric_limits<std::uint32_t>::max() - 1) throw std::bad_alloc();
    const auto id = static_cast<std::uint32_t>(names_.size());
    names_.push_back(keep_name(name));
    hashes_.push_back(hash);
    values_.push_back(stored);
    slots_[slot_of(name, hash)] = id + 1;
}

// Doubles the slots and places every id again.
void VariableTable::grow() {
    const std::size_t size = std::max<std::size_t>(16, slots_.size() * 2);
    slots_.assign(size, empty_slot);
    const std::size_t mask = size - 1;
    for (std::uint32_t id = 0; id < names_.size(); ++id) {
        std::size_t slot = hashes_[id] & mask;
        while (slots_[slot] != empty_slot) slot = (slot + 1) & mask;
        slots_[slot] = id + 1;
    }
}

// Names live in large blocks, so that each costs its characters and no allocation of its own.
std::string_view VariableTable::keep_name(std::string_view name) {
    if (name.empty()) return {};
    if (name.size() > block_left_) {
        const std::size_t size = std::max(name_block_size, name.size());
        name_blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        block_next_ = name_blocks_.back().get();
        block_left_ = size;
    }
    char* at = block_next_;
    std::memcpy(at, name.data(), name.size());
    block_next_ += name.size();
    block_left_ -= name.size();
    return {at, name.size()};
}

std::uint32_t VariableTable::unit_id(const Unit& unit) {
    UnitBits bits{unit.dimensions, unit.exp10, std::bit_cast<std::uint64_t>(unit.factor)};
    const auto [found, added] =
        unit_ids_.try_emplace(bits, static_cast<std::uint32_t>(units_.size()));
    if (added) units_.push_back(unit);
    return found->second;
}

}  // namespace mensurator
