#include "syntax/tree.hpp"

#include <new>
#include <utility>

#include "syntax/naive_string.hpp"

namespace mensurator {

namespace {

// Destroys a node's descendants without allocating, so that it is safe while unwinding from an
// allocation failure. Unit expressions are deep only along their first children (later operands
// nest only through brackets, whose depth the grammar bounds), so the first child is unlinked
// before its node is freed, as in a linked list, and only later children recurse.
template <class Node>
void release_children(std::vector<Node>& children) noexcept {
    if (children.empty()) return;
    Node next = std::move(children.front());
    children.clear();
    for (std::vector<Node>* grand = next.children(); grand != nullptr && !grand->empty();
         grand = next.children()) {
        Node first = std::move(grand->front());
        grand->clear();
        next = std::move(first);
    }
}

// Copies a tree along its first-child chain iteratively; later children (right operands,
// further arguments) are copied by their own copy constructors, whose depth the grammar bounds.
template <class Node>
Node copy_tree(const Node& root) {
    std::vector<const Node*> chain;
    for (const Node* node = &root;;) {
        chain.push_back(node);
        const std::vector<Node>* children = node->children();
        if (children == nullptr || children->empty()) break;
        node = &children->front();
    }
    Node result = Node::shallow_copy(*chain.back());
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        Node parent = Node::shallow_copy(**it);
        std::vector<Node>& children = *parent.children();
        const std::vector<Node>& source = *(*it)->children();
        children.reserve(source.size());
        children.push_back(std::move(result));
        for (std::size_t i = 1; i < source.size(); ++i) children.push_back(source[i]);
        result = std::move(parent);
    }
    return result;
}

}  // namespace

// ---- UnitTree ----

template <class Leaf>
UnitTree<Leaf> UnitTree<Leaf>::shallow_copy(const UnitTree& other) {
    UnitTree copy;
    copy.node = other.node;
    return copy;
}

template <class Leaf>
UnitTree<Leaf>::UnitTree(const UnitTree& other) : UnitTree(copy_tree(other)) {}

template <class Leaf>
UnitTree<Leaf>& UnitTree<Leaf>::operator=(const UnitTree& other) {
    if (this != &other) *this = copy_tree(other);
    return *this;
}

template <class Leaf>
UnitTree<Leaf>& UnitTree<Leaf>::operator=(UnitTree&& other) noexcept {
    UnitTree previous(std::move(*this));  // keeps `other` alive when it is one of our descendants
    node = std::move(other.node);
    operands = std::move(other.operands);
    return *this;
}

template <class Leaf>
UnitTree<Leaf>::~UnitTree() {
    release_children(operands);
}

template struct UnitTree<Unit>;
template struct UnitTree<std::string>;

// ---- UnitHint ----

UnitHint::UnitHint(Unit unit, NaiveUnit naive) : unit(unit), naive(std::move(naive)) {
    Result<std::string> written = naive_to_latex(this->naive);
    if (!written) throw InternalError("unit hint without LaTeX: " + written.error().display());
    latex = std::move(*written);
}

// ---- ExprStore ----

ExprStore::ExprStore() {
    nodes.reserve(64);
    names.reserve(16);
    annotations.reserve(8);
    latex.reserve(256);
}

std::uint32_t ExprStore::add_annotation(const Unit& unit, std::string_view latex_text) {
    if (annotations.size() >= no_node) throw std::bad_alloc();
    annotations.push_back(Annotation{unit, latex.size(), latex_text.size()});
    latex += latex_text;
    return static_cast<std::uint32_t>(annotations.size() - 1);
}

void ExprStore::truncate(Mark m) {
    nodes.resize(m.nodes);
    names.resize(m.names);
    annotations.resize(m.annotations);
    latex.resize(m.latex);
}

}  // namespace mensurator
