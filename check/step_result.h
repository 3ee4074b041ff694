// A forum file as a mod leaves it after one of its steps, made by the model of
// YaBB's installer, with the lines that step took out and put in marked.
#pragma once

#include "yabmod.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

struct StepResult {
    enum class Status {
        Applied,  // the step was found and made its change
        NotFound, // its search text is not in the file as the steps before left it
        NotRun,   // it cannot run: problem says why
    };
    Status status = Status::NotRun;
    int step = 0;        // the installer's number of the step asked for, from 1
    std::string name;    // its file, as the installer takes it from the mod
    std::string problem; // NotRun: why
    // The step whose change the rows show: the one asked for, or before it
    // the last one that changed the same file; 0 for none.
    int shownStep = 0;
    // Rows: the file, with the lines the shown step took out standing where
    // they stood, among the lines it put in.
    std::string text;
    struct Mark {
        std::size_t row = 0; // the first, from 0
        std::size_t rows = 0;
        bool added = false; // put in; else taken out
        std::size_t begin = 0, end = 0; // their bytes in text
    };
    std::vector<Mark> marks; // in the order of their rows
    // Where the search text of the step asked for starts, from 1, in the file
    // as the steps before left it; 0 when not found.
    std::size_t found = 0;
    // Earlier steps of the same file whose search text is not there: the
    // installer stops at the first; these rows are the file past them.
    std::vector<int> skipped;

    // Where a line of the file (from 1) starts in text, past the rows taken
    // out; text's size past the last line.
    std::size_t offsetOfLine(std::size_t line) const;
};

// Which file: after the step, or as the steps before it left it.
enum class StepMoment { After, Before };

// The folders the installer works in for the forum in forumDirectory, as
// the check takes them: the html folder from the forum's Paths.pm.
yabmod::Folders forumFolders(const std::string& forumDirectory,
                             const yabmod::ReadFile& read = yabmod::readFromDisk);

// The file of the step whose "<search for>" is at line searchLine (from 1) of
// the mod's bytes, as YaBB's installer leaves it. Steps that are not found
// are passed over, as by a run past the failures; only the steps of that
// file are run on its text.
StepResult stepResult(std::string_view mod, const yabmod::Folders& folders, std::size_t searchLine,
                      StepMoment moment, const yabmod::ReadFile& read = yabmod::readFromDisk);

} // namespace torvale
