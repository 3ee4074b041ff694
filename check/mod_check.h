// Testing a mod against a forum installation before anyone installs it: each
// search action applied in memory, in order, to the forum file its edit-file
// node names, as the forum's installer would. Nothing is written anywhere.
#pragma once

#include "document/mod_document.h"

#include <cstddef>
#include <string>
#include <vector>

namespace torvale {

struct StepCheck {
    enum class Status {
        Found,          // at line; again tells whether the lines stand there twice
        NotFound,       // no run of lines equals the search text (or it has none)
        FileMissing,    // the edit-file node's file does not exist
        FileUnreadable, // the file exists but cannot be read as text
        NoForumScript,  // no forum installation to test against
        NoEditFile,     // the search action comes before any edit-file node
    };
    const Node* node = nullptr;
    int step = 0; // as the status bar counts steps; 0 before any edit-file node
    Status status = Status::NotFound;
    std::size_t line = 0;  // Found: counted from 1, in the file as earlier steps left it
    std::size_t again = 0; // Found: the next line where the same lines start, 0 for none
    bool emptySearch = false;
    std::size_t file = 0; // index into CheckReport::files, unless NoEditFile
};

struct FileCheck {
    enum class Status { Changed, Unchanged, Missing, Unreadable, NoForumScript };
    std::string name; // as the first edit-file node that names it writes it
    std::string path; // where it was looked for; empty when nowhere
    Status status = Status::Unchanged;
    std::string error;    // Unreadable: why; Missing: why no file can have the name, if so
    std::string diffName; // the name in the diff: relative to the forum folder when inside it
    std::string diff;     // Changed and asked for: the unified diff
};

struct CheckReport {
    std::vector<FileCheck> files; // in the order the mod first names them
    std::vector<StepCheck> steps; // in the order of the mod

    bool allFound() const;
    bool anyUnreadable() const;
};

struct CheckOptions {
    // The folder of the forum script; empty when no forum is configured.
    std::string forumDirectory;
    bool diffs = false;
};

CheckReport checkMod(const ModDocument& doc, const CheckOptions& options);

// One line of the report about a step, without its number, e.g. "found at line 12".
std::string describeStep(const StepCheck& step);
// About a file, e.g. "changed" or "file missing".
std::string describeFile(const FileCheck& file);
// The whole report as text: each file, its steps below it, and a summary.
std::string formatReport(const CheckReport& report);

} // namespace torvale
