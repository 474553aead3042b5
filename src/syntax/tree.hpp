#pragma once

// The syntax tree: what the builders make of the text and what evaluation and rendering read.
// Unit expressions own their children and are left-deep, so copying and destruction walk them
// iteratively. Expressions live in an ExprStore as small linked nodes.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "quantity/unit.hpp"
#include "quantity/unit_table.hpp"
#include "quantity/value.hpp"
#include "syntax/relation.hpp"

namespace mensurator {

// ---- unit expressions ----

enum class UnitOpKind : std::uint8_t { UnitMul, UnitDiv, UnitPow };

struct UnitOp {
    UnitOpKind kind = UnitOpKind::UnitMul;
    std::int64_t exponent = 0;  // UnitPow only
};

// A unit expression: a leaf, or an operator node over operands (two for UnitMul and UnitDiv,
// left first; one for UnitPow). Chains are left-deep, so copying and destruction walk the first
// operands iteratively.
template <class Leaf>
struct UnitTree {
    std::variant<Leaf, UnitOp> node;
    std::vector<UnitTree> operands;

    UnitTree() = default;
    explicit UnitTree(Leaf leaf) : node(std::move(leaf)) {}
    UnitTree(UnitOp op, std::vector<UnitTree> operands) : node(op), operands(std::move(operands)) {}
    UnitTree(const UnitTree& other);
    UnitTree(UnitTree&&) noexcept = default;
    UnitTree& operator=(const UnitTree& other);
    UnitTree& operator=(UnitTree&&) noexcept;
    ~UnitTree();

    bool is_leaf() const { return std::holds_alternative<Leaf>(node); }
    std::vector<UnitTree>* children() { return &operands; }
    const std::vector<UnitTree>* children() const { return &operands; }
    static UnitTree shallow_copy(const UnitTree& other);  // the node without its operands
};

// Evaluated: every leaf a unit.
using UnitExpr = UnitTree<Unit>;
// As written: a unit name, or the LaTeX already rendered for a parenthesised group.
using NaiveUnit = UnitTree<std::string>;
extern template struct UnitTree<Unit>;
extern template struct UnitTree<std::string>;

// The unit a printed result is shown in: evaluated, as written, and as written in LaTeX.
struct UnitHint {
    UnitHint(Unit unit, NaiveUnit naive);  // writes the LaTeX
    // The unit of an annotation, known by its LaTeX only.
    UnitHint(Unit unit, std::string latex) : unit(unit), latex(std::move(latex)) {}
    UnitHint(Unit unit, NaiveUnit naive, std::string latex)
        : unit(unit), naive(std::move(naive)), latex(std::move(latex)) {}

    Unit unit;
    NaiveUnit naive;
    std::string latex;
};

// ---- expressions ----

enum class OperatorKind : std::uint8_t { Add, Sub, Mul, Div, Pow };

enum class ExprKind : std::uint8_t {
    Number,    // a literal
    Variable,  // a name: a variable, else a unit
    Call,      // a function call over its arguments
    Paren,     // a written pair of parentheses around one expression
    Chain,     // operands joined by operators of one precedence level, applied left to right
    WithUnit,  // an expression followed by a unit annotation
};

using NodeIndex = std::uint32_t;
inline constexpr NodeIndex no_node = std::numeric_limits<NodeIndex>::max();

// One node of an expression. A node with children holds the first; each child holds the next.
// Chains are flat, so the tree is deep only along first children (`a m ^ b m ^ b` nests annotations
// and powers alternately) and through brackets, whose depth the grammar bounds.
struct ExprNode {
    struct Link {
        std::uint32_t
            index;  // Variable, Call: the name; WithUnit: the annotation; Chain: the last operand
        NodeIndex first;  // the first child, or no_node
    };

    ExprKind kind = ExprKind::Number;
    OperatorKind op = OperatorKind::Add;  // in a chain, what joins this operand to those before it
    std::uint8_t written_figures = 0;     // Number: its significant figures as written, at most 255
    NodeIndex next = no_node;             // the next sibling
    union {
        double number = 0.0;  // Number
        Link link;            // every other kind
    };
};
static_assert(sizeof(ExprNode) == 16, "a long sum keeps one small node per term");
static_assert(std::is_trivially_copyable_v<ExprNode>);

// A unit annotation: the evaluated unit, and its LaTeX as written (in ExprStore::latex).
struct Annotation {
    Unit unit;
    std::size_t latex_start = 0;
    std::size_t latex_size = 0;
};

// The nodes, names and annotations of expressions. A run reuses one store for every statement,
// so that building allocates only while the store still grows.
struct ExprStore {
    // Room for a typical statement, so that a short document grows nothing.
    ExprStore();

    std::vector<ExprNode> nodes;
    std::vector<std::string_view> names;  // views of the source, or of alias displays once applied
    std::vector<Annotation> annotations;
    std::string latex;
    // The names the expressions' bare unit names are looked up in.
    UnitTable unit_table = UnitTable::specified;

    const ExprNode& operator[](NodeIndex index) const { return nodes[index]; }
    ExprNode& operator[](NodeIndex index) { return nodes[index]; }
    std::string_view annotation_latex(const Annotation& annotation) const {
        return std::string_view(latex).substr(annotation.latex_start, annotation.latex_size);
    }

    // Appends a node; an expression past the index range is reported as out of memory. Inline:
    // building calls these for every operand and operator.
    NodeIndex add(const ExprNode& node) {
        if (nodes.size() >= no_node) throw std::bad_alloc();
        nodes.push_back(node);
        return static_cast<NodeIndex>(nodes.size() - 1);
    }
    NodeIndex add_number(double number, std::uint8_t written_figures = 0) {
        ExprNode node;
        node.number = number;
        node.written_figures = written_figures;
        return add(node);
    }
    NodeIndex add_named(ExprKind kind, std::string_view name) {
        if (names.size() >= no_node) throw std::bad_alloc();
        ExprNode node;
        node.kind = kind;
        node.link = {static_cast<std::uint32_t>(names.size()), no_node};
        const NodeIndex index = add(node);
        names.push_back(name);
        return index;
    }
    std::uint32_t add_annotation(const Unit& unit, std::string_view latex_text);

    struct Mark {
        std::size_t nodes, names, annotations, latex;
    };
    Mark mark() const { return {nodes.size(), names.size(), annotations.size(), latex.size()}; }
    // Drops everything added since `m`, keeping the capacity.
    void truncate(Mark m);
    void clear() {
        nodes.clear();
        names.clear();
        annotations.clear();
        latex.clear();
    }
};

// An expression: its root, and the nodes it was built from, in a store that outlives it.
struct Expr {
    ExprStore* store = nullptr;
    NodeIndex root = no_node;
    NodeIndex nodes_begin = 0;
    NodeIndex nodes_end = 0;
};

// ---- statements ----

struct VarDec {
    std::string_view name;  // as matched, not trimmed
    Expr expr;
};

struct PrintExpr {
    Expr expr;
    std::shared_ptr<const UnitHint> unit_hint;  // none when null
};

struct DecPrintExpr {
    std::string_view name;  // as matched, not trimmed
    Expr expr;
    std::shared_ptr<const UnitHint> unit_hint;  // none when null
};

struct AliasStmt {
    std::string name;
    std::string display;
};

struct DigitSet {
    std::uint64_t digits = 0;
};

struct SetScientific {};

// A directive that switches on what the standard language leaves out: !sigfigs N, !units
// extended, !symbols.
struct OptInDirective {
    enum class Kind : std::uint8_t { sigfigs, extended_units, symbols };
    Kind kind = Kind::symbols;
    std::uint8_t sigfigs = 0;  // sigfigs only
};

struct LineGap {};

// `check left relation right`: a comparison of two quantities with its verdict.
struct CheckStmt {
    Expr left;
    Expr right;
    Relation relation = Relation::less;
};

// `!steps`: toggles the substitution steps of printed expressions.
struct SetSteps {};

struct LatexBlock {
    std::string text;  // without the ''' fences
};

struct Statement {
    using Kind = std::variant<VarDec, PrintExpr, DecPrintExpr, AliasStmt, DigitSet, SetScientific,
                              LineGap, LatexBlock, CheckStmt, SetSteps, OptInDirective>;

    std::uint64_t line = 1;
    Kind kind;
};

}  // namespace mensurator
