#include "eval/variable_table.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace mensurator {

namespace {

// Name blocks start small and double up to this size.
constexpr std::size_t first_name_block = 512;
constexpr std::size_t largest_name_block = 64 * 1024;

// FNV-1a: names are a few characters long, where it is quicker than the library's string hash.
std::uint32_t hash_of(std::string_view name) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::uint32_t hash_of_slot(std::uint64_t slot) {
    return static_cast<std::uint32_t>(slot >> 32);
}

std::uint32_t id_of_slot(std::uint64_t slot) {
    return static_cast<std::uint32_t>(slot) - 1;
}

std::uint64_t slot_for(std::uint32_t hash, std::uint32_t id) {
    return std::uint64_t{hash} << 32 | (id + 1);
}

// Places every key again in slots for `count` keys, at most three quarters of them, from the
// hash its slot keeps.
void grow(std::vector<std::uint64_t>& slots, std::size_t count) {
    std::size_t size = std::max<std::size_t>(16, slots.size());
    while (count * 4 > size * 3) size *= 2;
    std::vector<std::uint64_t> placed(size, 0);
    const std::size_t mask = size - 1;
    for (const std::uint64_t slot : slots) {
        if (slot == 0) continue;
        std::size_t at = hash_of_slot(slot) & mask;
        while (placed[at] != 0) at = (at + 1) & mask;
        placed[at] = slot;
    }
    slots = std::move(placed);
}

// Makes room for `count` keys. Returns whether the slots changed.
inline bool make_room(std::vector<std::uint64_t>& slots, std::size_t count) {
    if (count * 4 <= slots.size() * 3) return false;
    grow(slots, count);
    return true;
}

}  // namespace

VariableTable::UnitBits VariableTable::bits_of(const Unit& unit) {
    static_assert(sizeof(unit.dimensions) <= 2 * sizeof(std::uint64_t));
    UnitBits bits{};
    std::memcpy(bits.data(), unit.dimensions.data(), sizeof(unit.dimensions));
    bits[2] = static_cast<std::uint64_t>(unit.exp10);
    bits[3] = std::bit_cast<std::uint64_t>(unit.factor);
    return bits;
}

VariableTable::VariableTable(std::initializer_list<std::pair<std::string_view, Value>> entries) {
    for (const auto& [name, value] : entries) insert_or_assign(name, value);
}

std::size_t VariableTable::slot_of(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot taken = slots_[slot];
        if (taken == empty_slot) return slot;
        if (hash_of_slot(taken) != hash) continue;
        const Entry& candidate = entry(id_of_slot(taken));
        if (std::string_view(candidate.name, candidate.name_size) == name) return slot;
    }
}

void VariableTable::reserve(std::size_t count) {
    make_room(slots_, count);
}

std::optional<Value> VariableTable::find(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const Slot taken = slots_[slot_of(name, hash_of(name))];
    if (taken == empty_slot) return std::nullopt;
    const Entry& found = entry(id_of_slot(taken));
    return Value{found.number, units_[found.unit]};
}

std::optional<std::uint32_t> VariableTable::id_of(std::string_view name) const {
    if (slots_.empty()) return std::nullopt;
    const Slot taken = slots_[slot_of(name, hash_of(name))];
    if (taken == empty_slot) return std::nullopt;
    return id_of_slot(taken);
}

std::uint32_t VariableTable::insert_or_assign(std::string_view name, const Value& value) {
    const std::uint32_t unit = unit_id(value.unit);
    const std::uint32_t hash = hash_of(name);
    make_room(slots_, 1);
    std::size_t slot = slot_of(name, hash);
    if (const Slot taken = slots_[slot]; taken != empty_slot) {
        Entry& existing = entry(id_of_slot(taken));
        existing.number = value.number;
        existing.unit = unit;
        return id_of_slot(taken);
    }
    if (size_ >= std::numeric_limits<std::uint32_t>::max() - 1 ||
        name.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    if (make_room(slots_, size_ + 1)) slot = slot_of(name, hash);
    if (size_ == first_block_entries * ((std::size_t{1} << entry_blocks_.size()) - 1)) {
        entry_blocks_.push_back(
            std::make_unique_for_overwrite<Entry[]>(first_block_entries << entry_blocks_.size()));
    }
    const auto id = static_cast<std::uint32_t>(size_);
    entry(id) = Entry{keep_name(name), static_cast<std::uint32_t>(name.size()), unit, value.number};
    ++size_;
    slots_[slot] = slot_for(hash, id);
    return id;
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

// Units are few and compared bit for bit: interning must never merge two units that print or
// compute differently.
std::uint32_t VariableTable::unit_id(const Unit& unit) {
    const UnitBits bits = bits_of(unit);
    // Each word multiplied by its own odd constant, then the top bits folded down, since the
    // slot is taken from the low bits.
    const std::uint64_t mixed = (bits[0] * 0x9e3779b97f4a7c15u) ^ (bits[1] * 0xbf58476d1ce4e5b9u) ^
                                (bits[2] * 0x94d049bb133111ebu) ^ (bits[3] * 0xd6e8feb86659fd93u);
    const auto hash = static_cast<std::uint32_t>((mixed ^ (mixed >> 29)) >> 32 ^ mixed);
    make_room(unit_slots_, 1);
    std::size_t mask = unit_slots_.size() - 1;
    std::size_t at = hash & mask;
    for (; unit_slots_[at] != empty_slot; at = (at + 1) & mask) {
        const Slot taken = unit_slots_[at];
        if (hash_of_slot(taken) == hash && bits_of(units_[id_of_slot(taken)]) == bits)
            return id_of_slot(taken);
    }
    if (units_.size() >= std::numeric_limits<std::uint32_t>::max() - 1) throw std::bad_alloc();
    const auto id = static_cast<std::uint32_t>(units_.size());
    units_.push_back(unit);
    if (make_room(unit_slots_, units_.size())) {
        mask = unit_slots_.size() - 1;
        for (at = hash & mask; unit_slots_[at] != empty_slot; at = (at + 1) & mask) {
        }
    }
    unit_slots_[at] = slot_for(hash, id);
    return id;
}

}  // namespace mensurator
