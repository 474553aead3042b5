#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Unit annotations and hints already built, by their text as written: a document writes a few
// units many times, and building one means parsing it, looking its names up and writing its
// LaTeX. The same text always builds to the same unit. Keys are views of the source, which must
// outlive the cache; failures are not kept, so each occurrence reports its own.
class UnitCache {
  public:
    // Adds the annotation of a unit_expr node to the store.
    Result<std::uint32_t> annotation(const ParseNode& unit_expr, std::string_view source,
                                     ExprStore& store);
    // The hint of a printing statement from its unit_expr node.
    Result<std::shared_ptr<const UnitHint>> hint(const ParseNode& unit_expr,
                                                 std::string_view source);

    // The same for a unit expression already built from the same text, without its node; nothing
    // when the text is new.
    std::optional<std::uint32_t> known_annotation(std::string_view text, ExprStore& store) const;
    std::shared_ptr<const UnitHint> known_hint(std::string_view text) const;

  private:
    struct WrittenUnit {
        Unit unit;
        std::string latex;
    };

    std::unordered_map<std::string_view, WrittenUnit> annotations_;
    std::unordered_map<std::string_view, std::shared_ptr<const UnitHint>> hints_;
};

}  // namespace mensurator
