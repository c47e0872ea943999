// Patch-file text to a JSON document through the parser's events (see patch_json.h).
#include "tools/zrhost/patch_json.h"

#include "tools/zrhost/patch_values.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace zrhost {

namespace {

// "line L, column C" of the byte at `offset` (0-based) of `text`.
std::string lineAndColumn(std::string_view text, std::size_t offset) {
    std::size_t line = 1, column = 1;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Builds the document from the parser's events, refusing on the way what the tree cannot be
// trusted with: nesting deeper than any patch needs (a tree nested thousands deep overflows
// the stack when copied), keys that appear twice in one object (the later would silently
// replace the earlier) and numbers out of range. Each refusal names the place: the path of
// entries where it is known, line and column otherwise. Entries are appended without the
// ordered object's search for an existing key (duplicates are refused here already), so a
// patch of many modules reads in linear time.
class JsonReader {
  public:
    using number_integer_t = PatchJson::number_integer_t;
    using number_unsigned_t = PatchJson::number_unsigned_t;
    using number_float_t = PatchJson::number_float_t;
    using string_t = PatchJson::string_t;
    using binary_t = PatchJson::binary_t;

    JsonReader(std::string_view text, const std::string& file) : text_(text), file_(file) {}

    PatchJson take() { return std::move(root_); }

    bool null() { return value(nullptr); }
    bool boolean(bool b) { return value(b); }
    bool number_integer(number_integer_t n) { return value(n); }
    bool number_unsigned(number_unsigned_t n) { return value(n); }
    bool number_float(number_float_t n, const string_t&) { return value(n); }
    bool string(string_t& s) { return value(std::move(s)); }
    bool binary(binary_t& b) { return value(PatchJson::binary(std::move(b))); }
    bool start_object(std::size_t) { return open(PatchJson::value_t::object); }
    bool start_array(std::size_t) { return open(PatchJson::value_t::array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(string_t& k) {
        Level& level = levels_.back();
        if (!level.keys.insert(k).second)
            throw PatchError(file_, path(levels_.size() - 1),
                             "the entry " + inQuotes(k) + " appears twice");
        level.key = k;
        return true;
    }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::json::exception& e) {
        std::string problem;
        if (dynamic_cast<const nlohmann::json::out_of_range*>(&e)) {
            problem = "the number " + token + " is too large";
        } else {
            // The library's message without its prefix ("[json.exception...] ... at ...: ").
            problem = e.what();
            const std::size_t colon = problem.find(": ", problem.find("parse error"));
            if (colon != std::string::npos) problem = problem.substr(colon + 2);
            problem = "not valid JSON: " + problem;
        }
        if (!levels_.empty()) problem += " (in " + path() + ")";
        // The place is where the offending token starts.
        const std::size_t start = position > token.size() ? position - token.size() : 0;
        throw PatchError(file_, lineAndColumn(text_, start), problem);
    }

  private:
    struct Level {
        bool object = false;
        PatchJson* container = nullptr;
        std::size_t index = 0; // of the next element of an array
        std::string key;       // of the current entry of an object
        std::set<std::string> keys;
    };

    // Appends `v` to the open container (or makes it the document) and returns where it went.
    // An open container never moves: its parent grows only after it is closed.
    template <typename V>
    PatchJson* add(V&& v) {
        if (levels_.empty()) {
            root_ = PatchJson(std::forward<V>(v));
            return &root_;
        }
        Level& level = levels_.back();
        if (!level.object) {
            ++level.index;
            auto& list = *level.container->template get_ptr<PatchJson::array_t*>();
            list.emplace_back(std::forward<V>(v));
            return &list.back();
        }
        auto& entries = *level.container->template get_ptr<PatchJson::object_t*>();
        entries.PatchJson::object_t::Container::emplace_back(level.key, std::forward<V>(v));
        return &entries.back().second;
    }
    template <typename V>
    bool value(V&& v) {
        add(std::forward<V>(v));
        return true;
    }
    bool open(PatchJson::value_t kind) {
        if (levels_.size() >= kMaxNesting)
            throw PatchError(file_, path(),
                             "nested more than " + std::to_string(kMaxNesting) +
                                 " levels deep; a patch needs only a few");
        PatchJson* container = add(kind);
        levels_.push_back(Level{kind == PatchJson::value_t::object, container, 0, {}, {}});
        return true;
    }
    bool close() {
        levels_.pop_back();
        return true;
    }
    // "modules.osc.values" or "automation[2].at": the entry being read, shortened after a few
    // levels (a deep path says nothing more).
    std::string path() const { return path(levels_.size()); }
    // The path of the first `depth` levels.
    std::string path(std::size_t depth) const {
        std::string out;
        constexpr std::size_t kShown = 6;
        for (std::size_t i = 0; i < depth && i < kShown; ++i) {
            const Level& l = levels_[i];
            if (l.object)
                out += (out.empty() ? "" : ".") + l.key;
            else
                out += "[" + std::to_string(l.index > 0 ? l.index - 1 : 0) + "]";
        }
        if (depth > kShown) out += "...";
        return out;
    }

    static constexpr std::size_t kMaxNesting = 64;
    std::string_view text_;
    const std::string& file_;
    std::vector<Level> levels_;
    PatchJson root_;
};

} // namespace

PatchJson readPatchJson(std::string_view text, const std::string& file) {
    JsonReader reader(text, file);
    // Every refusal throws; the parser stops only at the end of a good document.
    PatchJson::sax_parse(text.begin(), text.end(), &reader);
    return reader.take();
}

} // namespace zrhost
