// A unified diff of two versions of a file, made by libgit2's diff, in the
// form patch applies with -p1.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// The diff of before and after under "a/name" and "b/name", with three lines
// of context, every byte taken as text; empty when they are the same.
std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name);

// A place where two texts differ, in lines counted from 0: the lines
// [before, before + removed) of the first stand as [after, after + added) in
// the second. A pure insertion has removed 0 and goes before line "before".
struct LineHunk {
    std::size_t before = 0;
    std::size_t removed = 0;
    std::size_t after = 0;
    std::size_t added = 0;
};

// The places where two texts of lines, each ended by "\n", differ, in order,
// by the patience diff (which lines up the lines that stand once, as an
// author's change leaves them).
std::vector<LineHunk> lineHunks(std::string_view before, std::string_view after);

} // namespace torvale
