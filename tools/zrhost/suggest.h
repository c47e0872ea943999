// "Did you mean ...?": the candidate closest to a mistyped word, by edit distance.
//
// Threads: pure function, any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zrhost {

// The candidate within a few edits of `word` (insertions, deletions, substitutions and
// swapped neighbours, ignoring case), the nearest first; none when nothing is that close. The
// allowance grows with the word: 1 edit up to 4 letters, 2 up to 8, 3 beyond.
std::optional<std::string> closestMatch(std::string_view word,
                                        const std::vector<std::string>& candidates);

} // namespace zrhost
