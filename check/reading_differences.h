// Where the editor's reading of a mod and YaBB's installer's reading of the
// same bytes part: steps one of them skips, texts they split differently.
#pragma once

#include "mod_check.h"

#include <memory>
#include <string_view>
#include <vector>

namespace torvale {

namespace yabmod {
struct Run;
}

// The steps of a mod as the editor reads them, made on their own while the
// installer's run goes on: it needs only the mod. mod and modLines
// (perlLines(mod)) must outlive it.
class EditorReading {
public:
    EditorReading(std::string_view mod, const std::vector<std::string_view>& modLines);
    EditorReading(EditorReading&&) noexcept;
    ~EditorReading();
    // Each place where run, an install of the same mod that went through
    // every step, read it otherwise, by the mod's line, in the order of the mod.
    std::vector<ReadingDifference> differencesFrom(const yabmod::Run& run) const;

private:
    struct Steps;
    std::unique_ptr<Steps> steps_;
};

// The installer's reading made by a run that reads the mod only.
std::vector<ReadingDifference> readingDifferences(const EditorReading& editor,
                                                  std::string_view mod,
                                                  const std::vector<std::string_view>& modLines);

// Both readings at once. modLines, when given, are perlLines(mod).
std::vector<ReadingDifference> readingDifferences(
    std::string_view mod, const std::vector<std::string_view>* modLines = nullptr);

} // namespace torvale
