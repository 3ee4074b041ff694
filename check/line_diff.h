// A unified diff of two versions of a file, made by libgit2's diff, in the
// form patch applies with -p1.
#pragma once

#include <string>
#include <string_view>

namespace torvale {

// The diff of before and after under "a/name" and "b/name", with three lines
// of context, every byte taken as text; empty when they are the same.
std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name);

} // namespace torvale
