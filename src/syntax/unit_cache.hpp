#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/error.hpp"
#include "grammar/parse_node.hpp"
#include "quantity/unit_table.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// How a document writes its units: the names it may use, and whether they are typeset as printed
// matter (!symbols) or as written.
struct UnitNotation {
    UnitTable table = UnitTable::specified;
    bool symbols = false;
};

// Unit annotations and hints already built, by their text as written: documents write a few
// units many times, and building one means parsing it, looking its names up and writing its
// LaTeX. The same text always builds to the same unit, in any document of the same notation, so
// each thread keeps one cache per notation from run to run, bounded in size. Failures are not
// kept: each occurrence reports its own.
class UnitCache {
  public:
    explicit UnitCache(UnitNotation notation) : notation_(notation) {}

    // The calling thread's cache for documents of that notation.
    static UnitCache& of_this_thread(UnitNotation notation = {});

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

    // FNV-1a: unit texts are a few characters, and every annotation is looked up.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            std::uint64_t hash = 0xcbf29ce484222325u;
            for (const char c : text)
                hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
            return static_cast<std::size_t>(hash);
        }
    };

    template <class Built>
    using ByText = std::unordered_map<std::string, Built, TextHash, std::equal_to<>>;

    UnitNotation notation_;
    ByText<WrittenUnit> annotations_;
    ByText<std::shared_ptr<const UnitHint>> hints_;
    std::size_t kept_bytes_ = 0;  // of the texts kept

    // Whether a unit written as `text` is kept; the cache is emptied first when it is full.
    bool keep(std::string_view text);
    Result<std::string> written_latex(const ParseNode& unit_expr, std::string_view source) const;
};

}  // namespace mensurator
