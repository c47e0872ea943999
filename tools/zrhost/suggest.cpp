// Edit distance with transpositions (optimal string alignment) for command suggestions.
#include "tools/zrhost/suggest.h"

#include <algorithm>
#include <cctype>

namespace zrhost {

namespace {

std::size_t editDistance(std::string_view a, std::string_view b) {
    const auto same = [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    };
    // Rows i-2, i-1 and i of the distance table.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = same(a[i - 1], b[j - 1]) ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1]))
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        before.swap(previous);
        previous.swap(row);
    }
    return previous[b.size()];
}

} // namespace

std::optional<std::string> closestMatch(std::string_view word,
                                        const std::vector<std::string>& candidates) {
    const std::size_t allowed = word.size() <= 4 ? 1 : word.size() <= 8 ? 2 : 3;
    std::optional<std::string> best;
    std::size_t bestDistance = allowed + 1;
    for (const auto& c : candidates) {
        const std::size_t d = editDistance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

} // namespace zrhost
