#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "eval/evaluate.hpp"

namespace mensurator {

// Display names by name. Every variable of every statement is looked up, and most have no
// alias: a bit per hash, kept for at least sixteen times as many hashes as there are aliases,
// answers most of those without a probe of the map.
class AliasTable {
  public:
    using Map = std::unordered_map<std::string, std::string, NameHash, std::equal_to<>>;

    Map::const_iterator find(std::string_view name) const {
        const std::size_t bit = NameHash{}(name) & (filter_.size() * 64 - 1);
        if ((filter_[bit / 64] >> (bit % 64) & 1) == 0) return map_.end();
        return map_.find(name);
    }
    Map::const_iterator end() const { return map_.end(); }
    std::size_t size() const { return map_.size(); }

    void insert_or_assign(std::string_view name, std::string_view display);

  private:
    Map map_;
    std::vector<std::uint64_t> filter_ = std::vector<std::uint64_t>(1, 0);

    void mark(std::string_view name);
};

}  // namespace mensurator
