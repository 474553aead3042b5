#include "mathml/display_mathml.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mathml/math_symbols.hpp"

namespace mensurator {

namespace {

// Deeper nesting is left to the other converter; the bound also keeps the copies made when a
// script wraps its base linear in the line's length.
constexpr int max_depth = 64;

constexpr std::string_view roman_letter = "<mi mathvariant=\"normal\">";
constexpr std::string_view no_break_space = "\u00a0";

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

enum class Scripts { none, sub, sup, both };

// One element of a row in the output: where it starts, where its first script starts, and
// whether it is a bare equals sign (the marks between a statement's parts).
struct Element {
    std::size_t start = 0;
    std::size_t script_start = 0;
    Scripts scripts = Scripts::none;
    bool equals = false;
};

class MathWriter {
  public:
    explicit MathWriter(std::string_view latex) : in_(latex) {}

    std::optional<std::string> line() {
        out_ = "<math display=\"block\"><mrow>";
        std::vector<Element> top;
        if (!row(false, 0, &top) || top.empty()) return std::nullopt;
        mark_result(top);
        out_ += "</mrow></math>";
        return std::move(out_);
    }

  private:
    std::string_view in_;
    std::size_t pos_ = 0;
    std::string out_;

    bool at(char c) const { return pos_ < in_.size() && in_[pos_] == c; }

    // What follows the last of two or more top-level equals signs is the computed value.
    void mark_result(const std::vector<Element>& top) {
        std::size_t count = 0, last = 0;
        for (std::size_t i = 0; i < top.size(); ++i) {
            if (top[i].equals) count++, last = i;
        }
        if (count < 2) return;
        std::size_t start = last + 1 < top.size() ? top[last + 1].start : out_.size();
        out_.insert(start, "<mrow class=\"result\">");
        out_ += "</mrow>";
    }

    // A row up to its closing brace (`in_group`) or the end of the line; the top row lists
    // its elements in `top`.
    bool row(bool roman, int depth, std::vector<Element>* top) {
        const bool in_group = top == nullptr;
        std::optional<Element> last;
        while (true) {
            while (at(' ') || at('\t')) pos_++;
            if (pos_ == in_.size()) break;
            const char c = in_[pos_];
            if (c == '}') {
                if (!in_group) return false;
                pos_++;
                return true;
            }
            if (c == '^' || c == '_') {
                pos_++;
                if (!last || !script(*last, c == '_', roman, depth)) return false;
                continue;
            }
            if (last && top) top->push_back(*last);
            last = Element{out_.size()};
            if (!atom(roman, depth, last->equals)) return false;
        }
        if (last && top) top->push_back(*last);
        return !in_group;
    }

    bool group(bool roman, int depth) {
        if (!at('{') || depth + 1 > max_depth) return false;
        pos_++;
        out_ += "<mrow>";
        if (!row(roman, depth + 1, nullptr)) return false;
        out_ += "</mrow>";
        return true;
    }

    void letter(std::string_view text, bool roman) {
        out_ += roman ? roman_letter : "<mi>";
        out_ += text;
        out_ += "</mi>";
    }

    void operator_sign(std::string_view text, bool fence = false) {
        out_ += fence ? "<mo stretchy=\"false\">" : "<mo>";
        out_ += text;
        out_ += "</mo>";
    }

    bool number() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && is_digit(in_[pos_])) pos_++;
        if (at('.')) {
            pos_++;
            if (pos_ == in_.size() || !is_digit(in_[pos_])) return false;
            while (pos_ < in_.size() && is_digit(in_[pos_])) pos_++;
            if (at('.')) return false;
        }
        out_ += "<mn>";
        out_ += in_.substr(start, pos_ - start);
        out_ += "</mn>";
        return true;
    }

    bool atom(bool roman, int depth, bool& equals) {
        const char c = in_[pos_];
        if (is_letter(c)) {
            letter(in_.substr(pos_++, 1), roman);
        } else if (is_digit(c)) {
            return number();
        } else if (c == '(' || c == ')') {
            operator_sign(in_.substr(pos_++, 1), true);
        } else if (c == '+' || c == '=' || c == ',' || c == '/') {
            equals = c == '=';
            operator_sign(in_.substr(pos_++, 1));
        } else if (c == '-') {
            pos_++;
            operator_sign("\u2212");
        } else if (c == '{') {
            return group(roman, depth);
        } else if (c == '\\') {
            pos_++;
            return command(roman, depth);
        } else {
            return false;
        }
        return true;
    }

    bool command(bool roman, int depth) {
        if (pos_ == in_.size()) return false;
        if (!is_letter(in_[pos_])) {
            const char c = in_[pos_++];
            if (c == ' ') {
                out_ += "<mtext>";
                out_ += no_break_space;
                out_ += "</mtext>";
                return true;
            }
            if (c == ',') {
                out_ += "<mspace width=\"0.167em\"></mspace>";
                return true;
            }
            return false;
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && is_letter(in_[pos_])) pos_++;
        const std::string_view name = in_.substr(start, pos_ - start);
        if (name == "mathrm") return upright(depth);
        if (name == "frac") {
            out_ += "<mfrac>";
            if (!group(roman, depth) || !group(roman, depth)) return false;
            out_ += "</mfrac>";
            return true;
        }
        for (const MathSymbol& symbol : math_symbols) {
            if (symbol.command != name) continue;
            if (symbol.is_operator) {
                operator_sign(symbol.text);
            } else {
                letter(symbol.text, roman);
            }
            return true;
        }
        return false;
    }

    // \mathrm{...}: its letters upright. A lone letter is read as if in a group of its own,
    // which is how the other converter keeps it upright.
    bool upright(int depth) {
        if (in_.size() - pos_ >= 3 && in_[pos_] == '{' && is_letter(in_[pos_ + 1]) &&
            in_[pos_ + 2] == '}') {
            out_ += "<mrow><mrow>";
            letter(in_.substr(pos_ + 1, 1), true);
            out_ += "</mrow></mrow>";
            pos_ += 3;
            return true;
        }
        return group(true, depth);
    }

    // A script's argument: a group, or a single letter or digit.
    bool script_argument(bool roman, int depth) {
        if (pos_ == in_.size()) return false;
        const char c = in_[pos_];
        if (c == '{') return group(roman, depth);
        if (is_letter(c)) {
            letter(in_.substr(pos_++, 1), roman);
            return true;
        }
        if (is_digit(c)) {
            out_ += "<mn>";
            out_ += c;
            out_ += "</mn>";
            pos_++;
            return !at('.');
        }
        return false;
    }

    // Wraps `element` (the last of its row) in a script; a second script of the other kind makes
    // the two one <msubsup>, subscript first.
    bool script(Element& element, bool sub, bool roman, int depth) {
        const Scripts added = sub ? Scripts::sub : Scripts::sup;
        element.equals = false;
        if (element.scripts == Scripts::none) {
            std::string base = out_.substr(element.start);
            out_.resize(element.start);
            out_ += sub ? "<msub>" : "<msup>";
            out_ += base;
            element.script_start = out_.size();
            if (!script_argument(roman, depth)) return false;
            out_ += sub ? "</msub>" : "</msup>";
            element.scripts = added;
            return true;
        }
        if (element.scripts == added || element.scripts == Scripts::both) return false;
        constexpr std::size_t open_tag = std::string_view("<msub>").size();
        constexpr std::size_t close_tag = std::string_view("</msub>").size();
        out_.resize(out_.size() - close_tag);
        const std::size_t first_end = out_.size();
        if (!script_argument(roman, depth)) return false;
        const std::string second = out_.substr(first_end);
        const std::string first =
            out_.substr(element.script_start, first_end - element.script_start);
        const std::string base =
            out_.substr(element.start + open_tag, element.script_start - element.start - open_tag);
        out_.resize(element.start);
        out_ += "<msubsup>";
        out_ += base;
        out_ += sub ? second : first;
        out_ += sub ? first : second;
        out_ += "</msubsup>";
        element.scripts = Scripts::both;
        return true;
    }
};

}  // namespace

std::optional<std::string> display_mathml(std::string_view latex) {
    return MathWriter(latex).line();
}

}  // namespace mensurator
