#pragma once

#include <string_view>

namespace mensurator {

// A LaTeX command that stands for one character, and how MathML shows it.
struct MathSymbol {
    std::string_view command;  // without its backslash
    std::string_view text;     // UTF-8
    bool is_operator;          // <mo>, else <mi> (which \mathrm makes upright)
};

// The commands a math line may name. Each row shows its character as the converter of LaTeX
// blocks does, so a line looks the same whichever of the two wrote it.
inline constexpr MathSymbol math_symbols[] = {
    {"alpha", "α", false},    {"beta", "β", false},    {"gamma", "γ", false},
    {"delta", "δ", false},    {"epsilon", "ϵ", false}, {"varepsilon", "ε", false},
    {"zeta", "ζ", false},     {"eta", "η", false},     {"theta", "θ", false},
    {"vartheta", "ϑ", false}, {"iota", "ι", false},    {"kappa", "κ", false},
    {"lambda", "λ", false},   {"mu", "μ", false},      {"nu", "ν", false},
    {"xi", "ξ", false},       {"pi", "π", false},      {"varpi", "ϖ", false},
    {"rho", "ρ", false},      {"varrho", "ϱ", false},  {"sigma", "σ", false},
    {"varsigma", "ς", false}, {"tau", "τ", false},     {"upsilon", "υ", false},
    {"phi", "ϕ", false},      {"varphi", "φ", false},  {"chi", "χ", false},
    {"psi", "ψ", false},      {"omega", "ω", false},   {"Gamma", "Γ", false},
    {"Delta", "Δ", false},    {"Theta", "Θ", false},   {"Lambda", "Λ", false},
    {"Xi", "Ξ", false},       {"Pi", "Π", false},      {"Sigma", "Σ", false},
    {"Upsilon", "Υ", false},  {"Phi", "Φ", false},     {"Psi", "Ψ", false},
    {"Omega", "Ω", false},    {"ell", "ℓ", false},     {"hbar", "ℏ", false},
    {"times", "×", true},     {"cdot", "·", true},     {"infty", "∞", true},
    {"partial", "∂", true},   {"nabla", "∇", true},
};

}  // namespace mensurator
