#pragma once

#include <cstddef>
#include <vector>

#include "syntax/tree.hpp"
#include "syntax/unit_cache.hpp"

namespace mensurator {

// Assembles an expression from its pieces in written order (operands, infix operators and unit
// annotations) by binding power: + - loosest, then * /, then annotations, then ^; all
// left-associative. Operators of one level applied in a row form one flat chain. The pieces come
// from the grammar engine's nodes or straight from the text; both give the same tree.
class ExprAssembler {
  public:
    explicit ExprAssembler(ExprStore& store, UnitCache& units = UnitCache::of_this_thread())
        : store_(store), units_(&units) {
        pending_.reserve(16);  // a few per bracket level
    }

    ExprStore& store() { return store_; }
    // Units built so far, which later statements reuse.
    UnitCache& units() { return *units_; }
    // Builds the units of later statements with `units` instead.
    void use_units(UnitCache& units) { units_ = &units; }

    // What an expression nested in another (a group, an argument) saves of the outer one.
    struct Outer {
        std::size_t base;
        NodeIndex current;
    };

    // Starts an expression, possibly inside one being assembled.
    Outer begin();
    void operand(NodeIndex node);
    void annotation(std::uint32_t annotation);
    void infix(OperatorKind op);
    // Applies every pending operator and returns the root; the outer expression goes on.
    NodeIndex finish(Outer outer);
    // Forgets everything pending, after a failed build.
    void reset();

  private:
    struct Pending {
        NodeIndex lhs;
        OperatorKind op;
    };

    ExprStore& store_;
    UnitCache* units_;
    std::vector<Pending> pending_;  // shared by nested expressions, each above its `base_`
    std::size_t base_ = 0;
    NodeIndex current_ = no_node;  // the operand assembled so far, or no_node after an operator

    void reduce_top();
    NodeIndex join(NodeIndex lhs, OperatorKind op, NodeIndex rhs);
};

}  // namespace mensurator
