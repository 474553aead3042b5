#include "run/alias_table.hpp"

namespace mensurator {

void AliasTable::insert_or_assign(std::string_view name, std::string_view display) {
    map_.insert_or_assign(std::string(name), std::string(display));
    if (map_.size() * 16 <= filter_.size() * 64) {
        mark(name);
        return;
    }
    filter_.assign(filter_.size() * 2, 0);
    for (const auto& entry : map_) mark(entry.first);
}

void AliasTable::mark(std::string_view name) {
    const std::size_t bit = NameHash{}(name) & (filter_.size() * 64 - 1);
    filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

}  // namespace mensurator
