#include "eval/variable_table.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace mensurator {

namespace {

// Name blocks start small and double up to this size.
constexpr std::size_t first_name_block = 512;
constexpr std::size_t largest_name_block = 64 * 1024;

// FNV-1a: names are a few characters long, where it is quicker than the library's string hash.
std::size_t hash_of(std::string_view name) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

}  // namespace

std::size_t VariableTable::UnitBitsHash::operator()(const UnitBits& bits) const {
    std::size_t hash = std::hash<std::int64_t>{}(bits.exp10) ^ (bits.factor * 0x9e3779b97f4a7c15u);
    for (const Rational8 d : bits.dimensions) {
        const std::size_t pair = static_cast<std::size_t>(static_cast<std::uint8_t>(d.numerator))
                                     << 8 |
                                 static_cast<std::uint8_t>(d.denominator);
        hash = (hash ^ pair) * 0x100000001b3u;
    }
    return hash;
}

VariableTable::VariableTable(std::initializer_list<std::pair<std::string_view, Value>> entries) {
    for (const auto& [name, value] : entries) insert_or_assign(name, value);
}

std::size_t VariableTable::slot_of(std::string_view name, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t taken = slots_[slot];
        if (taken == empty_slot) return slot;
        const Entry& candidate = entry(taken - 1);
        if (candidate.name_size == name.size() &&
            std::string_view(candidate.name, candidate.name_size) == name) {
            return slot;
        }
    }
}

std::optional<Value> VariableTable::find(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const std::uint32_t taken = slots_[slot_of(name, hash_of(name))];
    if (taken == empty_slot) return std::nullopt;
    const Entry& found = entry(taken - 1);
    return Value{found.number, units_[found.unit]};
}

std::optional<std::uint32_t> VariableTable::id_of(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const std::uint32_t taken = slots_[slot_of(name, hash_of(name))];
    if (taken == empty_slot) return std::nullopt;
    return taken - 1;
}

std::uint32_t VariableTable::insert_or_assign(std::string_view name, const Value& value) {
    const std::uint32_t unit = unit_id(value.unit);
    const std::size_t hash = hash_of(name);
    if (!slots_.empty()) {
        if (const std::uint32_t taken = slots_[slot_of(name, hash)]; taken != empty_slot) {
            Entry& existing = entry(taken - 1);
            existing.number = value.number;
            existing.unit = unit;
            return taken - 1;
        }
    }
    if (size_ >= std::numeric_limits<std::uint32_t>::max() - 1 ||
        name.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    if ((size_ + 1) * 4 > slots_.size() * 3) grow();
    if (size_ == first_block_entries * ((std::size_t{1} << entry_blocks_.size()) - 1)) {
        entry_blocks_.push_back(
            std::make_unique_for_overwrite<Entry[]>(first_block_entries << entry_blocks_.size()));
    }
    const auto id = static_cast<std::uint32_t>(size_);
    entry(id) = Entry{keep_name(name), static_cast<std::uint32_t>(name.size()), unit, value.number};
    ++size_;
    slots_[slot_of(name, hash)] = id + 1;
    return id;
}

// Doubles the slots and places every id again.
void VariableTable::grow() {
    const std::size_t size = std::max<std::size_t>(16, slots_.size() * 2);
    slots_.assign(size, empty_slot);
    const std::size_t mask = size - 1;
    for (std::uint32_t id = 0; id < size_; ++id) {
        const Entry& placed = entry(id);
        std::size_t slot = hash_of(std::string_view(placed.name, placed.name_size)) & mask;
        while (slots_[slot] != empty_slot) slot = (slot + 1) & mask;
        slots_[slot] = id + 1;
    }
}

// Names live in large blocks, so that each costs its characters and no allocation of its own.
const char* VariableTable::keep_name(std::string_view name) {
    if (name.empty()) return "";
    if (name.size() > block_left_) {
        last_name_block_ = std::clamp(last_name_block_ * 2, first_name_block, largest_name_block);
        const std::size_t size = std::max(last_name_block_, name.size());
        name_blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        block_next_ = name_blocks_.back().get();
        block_left_ = size;
    }
    char* at = block_next_;
    std::memcpy(at, name.data(), name.size());
    block_next_ += name.size();
    block_left_ -= name.size();
    return at;
}

std::uint32_t VariableTable::unit_id(const Unit& unit) {
    const UnitBits bits{unit.dimensions, unit.exp10, std::bit_cast<std::uint64_t>(unit.factor)};
    const auto [found, added] =
        unit_ids_.try_emplace(bits, static_cast<std::uint32_t>(units_.size()));
    if (added) units_.push_back(unit);
    return found->second;
}

}  // namespace mensurator
