// The limit program of the benchmark: only the work no engine for the document language can
// avoid, as a speed to compare the engine with on the same document.
//
//   limit DOCUMENT OUTPUT_BYTES [MIN_SECONDS]
//
// One run: one pass over the text splitting it into lines; std::from_chars for every number
// and std::to_chars writing it back (with three decimals, as results are printed); one more
// std::to_chars for every printed result (a line with `=?`), of a value made from the line's
// numbers and names, as any engine formats the result it computes; a lookup,
// or an insert when new, in a flat hash table for every name; and an output of OUTPUT_BYTES
// (the engine's output size for the same document), the formatted numbers and, for the rest,
// the line's own text, spread over the lines in proportion to their length. Runs repeat for at
// least MIN_SECONDS (default 1) and at least 3 times, each with a fresh table and output as a
// call of the engine has; the best time is printed as one JSON line.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

struct Counts {
    std::size_t lines = 0;
    std::size_t numbers = 0;
    std::size_t results = 0;  // printed results formatted
    std::size_t names = 0;
    std::size_t distinct_names = 0;
    std::uint64_t checksum = 0;  // depends on every result, so no work can be left out
};

bool is_name_start(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\\';
}

bool is_name_char(char c) {
    return is_name_start(c) || (c >= '0' && c <= '9') || c == '_' || c == '{' || c == '}';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Names to dense ids in one open-addressing table of views into the document, the cheapest
// kind of symbol table: no allocation per name, one probe sequence per lookup.
class NameTable {
  public:
    NameTable() : slots_(1024) {}

    // The id of name and whether it was new.
    std::pair<std::uint32_t, bool> find_or_insert(std::string_view name) {
        if (2 * (size_ + 1) > slots_.size()) grow();
        Slot& slot = probe(slots_, name);
        if (slot.id != 0) return {slot.id - 1, false};
        slot = {name, ++size_};
        return {size_ - 1, true};
    }

  private:
    struct Slot {
        std::string_view name;
        std::uint32_t id = 0;  // 0: empty, else the name's id + 1
    };

    static std::uint64_t hash(std::string_view name) {
        std::uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
        return h;
    }

    static Slot& probe(std::vector<Slot>& slots, std::string_view name) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hash(name) & mask;; i = (i + 1) & mask) {
            if (slots[i].id == 0 || slots[i].name == name) return slots[i];
        }
    }

    void grow() {
        std::vector<Slot> larger(slots_.size() * 2);
        for (const Slot& slot : slots_) {
            if (slot.id != 0) probe(larger, slot.name) = slot;
        }
        slots_.swap(larger);
    }

    std::vector<Slot> slots_;
    std::uint32_t size_ = 0;
};

// The output, never longer than its final size.
class Output {
  public:
    explicit Output(std::size_t size) : size_(size) { text_.reserve(size); }

    void append(const char* data, std::size_t length) {
        text_.append(data, std::min(length, size_ - text_.size()));
    }

    // Repeats piece until the output holds `until` bytes (piece must not be empty).
    void fill_to(std::size_t until, std::string_view piece) {
        until = std::min(until, size_);
        while (text_.size() < until) {
            append(piece.data(), std::min(piece.size(), until - text_.size()));
        }
    }

    const std::string& text() const { return text_; }
    std::string release() { return std::move(text_); }

  private:
    std::size_t size_;
    std::string text_;
};

Counts run_once(std::string_view text, std::size_t output_bytes, std::string& result) {
    Counts counts;
    NameTable names;
    Output out(output_bytes);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* line = begin;
    char digits[64];
    while (line < end) {
        const char* line_end = static_cast<const char*>(std::memchr(line, '\n', end - line));
        if (line_end == nullptr) line_end = end;
        ++counts.lines;
        double result = 0;  // stands for the value a printed line computes
        bool printed = false;
        for (const char* p = line; p < line_end;) {
            if (is_digit(*p) || (*p == '-' && p + 1 < line_end && is_digit(p[1]))) {
                double value = 0;
                auto [next, ec] = std::from_chars(p, line_end, value);
                if (ec != std::errc{} || next == p) next = p + 1;
                auto [written, error] = std::to_chars(digits, digits + sizeof digits, value,
                                                      std::chars_format::fixed, 3);
                if (error != std::errc{}) written = digits;
                out.append(digits, written - digits);
                result += value;
                ++counts.numbers;
                counts.checksum += static_cast<std::uint64_t>(written - digits);
                p = next;
            } else if (is_name_start(*p)) {
                const char* q = p + 1;
                while (q < line_end && is_name_char(*q)) ++q;
                auto [id, inserted] = names.find_or_insert(std::string_view(p, q - p));
                ++counts.names;
                counts.distinct_names += inserted;
                counts.checksum += id;
                result += id;
                p = q;
            } else {
                printed = printed || (*p == '=' && p + 1 < line_end && p[1] == '?');
                ++p;
            }
        }
        if (printed) {
            auto [written, error] =
                std::to_chars(digits, digits + sizeof digits, result, std::chars_format::fixed, 3);
            if (error != std::errc{}) written = digits;
            out.append(digits, written - digits);
            ++counts.results;
            counts.checksum += static_cast<std::uint64_t>(written - digits);
        }
        const std::size_t consumed = static_cast<std::size_t>(line_end - begin);
        const char* const next_line = std::min(line_end + 1, end);
        out.fill_to(output_bytes * consumed / text.size(),
                    std::string_view(line, next_line - line));
        line = next_line;
    }
    out.fill_to(output_bytes, text);
    counts.checksum += out.text().empty() ? 0 : static_cast<unsigned char>(out.text().back());
    result = out.release();
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s DOCUMENT OUTPUT_BYTES [MIN_SECONDS]\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "limit: cannot read %s\n", argv[1]);
        return 2;
    }
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    std::size_t output_bytes = 0;
    double min_seconds = 1.0;
    const std::string_view size_arg = argv[2];
    const std::string_view seconds_arg = argc == 4 ? argv[3] : "1";
    if (std::from_chars(size_arg.begin(), size_arg.end(), output_bytes).ptr != size_arg.end() ||
        std::from_chars(seconds_arg.begin(), seconds_arg.end(), min_seconds).ptr !=
            seconds_arg.end()) {
        std::fprintf(stderr, "limit: OUTPUT_BYTES and MIN_SECONDS must be numbers\n");
        return 2;
    }
    if (text.empty()) {
        std::fprintf(stderr, "limit: %s is empty\n", argv[1]);
        return 2;
    }

    using clock = std::chrono::steady_clock;
    std::string out;
    Counts counts;
    double best = 1e300;
    int runs = 0;
    const auto start = clock::now();
    while (runs < 3 || std::chrono::duration<double>(clock::now() - start).count() < min_seconds) {
        std::string().swap(out);  // the last run's output is released outside the timing
        const auto t0 = clock::now();
        counts = run_once(text, output_bytes, out);
        const double seconds = std::chrono::duration<double>(clock::now() - t0).count();
        best = std::min(best, seconds);
        ++runs;
    }
    std::printf(
        "{\"best_s\": %.9g, \"runs\": %d, \"input_bytes\": %zu, \"output_bytes\": %zu, "
        "\"lines\": %zu, \"numbers\": %zu, \"results\": %zu, \"names\": %zu, "
        "\"distinct_names\": %zu, \"checksum\": %llu}\n",
        best, runs, text.size(), out.size(), counts.lines, counts.numbers, counts.results,
        counts.names, counts.distinct_names, static_cast<unsigned long long>(counts.checksum));
    return 0;
}
