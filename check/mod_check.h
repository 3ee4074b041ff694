// Testing a mod against a forum installation before anyone installs it: the
// mod's bytes run through the model of YaBB's installer, and the report of
// what it would do, step by step, with the reasons of each failure.
#pragma once

#include "nearest_place.h"
#include "yabmod.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace torvale {

struct StepCheck {
    enum class Status {
        Found,      // at line; again tells whether the lines stand there twice
        NotFound,   // no run of lines equals the search text
        FileMissing, // the installer cannot open its file
        Mismatch,   // uninstall: the lines the install added are not where it put them
        NoAction,   // an "<edit file>" comes before the step's action
        NotReached, // the installer stops at an earlier failure
        NotTested,  // no forum, or a file of the html folder, which is not known
    };
    int step = 0;             // the installer's number, from 1
    std::size_t modLine = 0;  // the line of its "<search for>" in the mod, from 1
    std::size_t file = 0;     // index into CheckReport::files
    Status status = Status::NotTested;
    // Also when not reached: whether it would be found if the failing steps
    // before it were skipped.
    bool foundPast = false;
    std::size_t line = 0;     // found: from 1, in the file as earlier steps left it
    std::size_t diskLine = 0; // found: from 1, the same line in the file on disk; 0 when the mod put it in
    std::size_t again = 0;    // found: the next line where the same lines start, 0 for none
    std::string firstLine;    // the first line of its search text, as the installer reads it
    std::string reason;       // why it failed, when more can be said than its status
    // Not found (also when not reached): where its lines most likely went, in
    // the file as the earlier steps left it.
    std::optional<NearestPlace> nearest;
};

struct FileCheck {
    enum class Status { Changed, Unchanged, Missing, NotTested, NoForumScript, NotReached };
    std::string name;     // as the installer takes it from the mod
    std::string path;     // where it opens it
    std::size_t modLine = 0;
    Status status = Status::Unchanged;
    std::string reason;   // Missing: a near name on disk, and the like
    std::string diffName; // the name in the diff: relative to the forum folder when inside it
    std::string diff;     // changed and asked for: the unified diff
};

// A place where the editor and the installer read the mod differently.
struct ReadingDifference {
    std::size_t modLine = 0; // from 1
    std::string what;
};

struct CheckWarning {
    std::size_t modLine = 0; // from 1; 0 for the whole mod
    std::string what;
};

struct UninstallCheck {
    bool restores = true; // every file comes back byte for byte
    std::vector<std::string> problems; // each file that does not, and why
};

struct CheckReport {
    yabmod::Run::End end = yabmod::Run::End::Done; // what the installer's run comes to
    int failedStep = 0;
    std::string stopMessage;
    bool tested = false; // a forum was there to test against
    bool notAMod = false; // no tag of a mod at all
    std::vector<FileCheck> files; // in the order the mod opens them
    std::vector<StepCheck> steps; // in the order of the mod
    std::vector<CheckWarning> warnings;
    std::vector<ReadingDifference> differences;
    std::optional<UninstallCheck> uninstall;

    // The installer would install the mod.
    bool passes() const { return tested && end == yabmod::Run::End::Done && !notAMod; }
};

struct CheckOptions {
    // The folder of the forum script; empty when no forum is configured.
    std::string forumDirectory;
    // The forum's html folder ($htmldir); empty: taken from the forum's
    // Paths.pm when it names one, else not known.
    std::string htmlDirectory;
    bool diffs = false;
    // Diffs of the mod with its failing steps skipped, as an author fixing
    // several steps wants them, instead of none for a mod that fails.
    bool keepGoing = false;
    // Also install and then uninstall the mod in memory, and say whether
    // every file comes back as it was.
    bool uninstall = false;
    // Where the files are read from; the disk when not given. Called from
    // more than one thread at once.
    yabmod::ReadFile read;
    // The threads that run the mod past its failures, each on its share of
    // the files; 0: as many as the mod's size and the machine's cores are worth.
    unsigned threads = 0;
};

// The mod's bytes, as Save writes them or as the file holds them.
CheckReport checkMod(std::string_view mod, const CheckOptions& options);

// $htmldir of the forum's Paths.pm, resolved against the forum folder; empty
// when there is none.
std::string htmlDirectoryOf(const std::string& forumDirectory, const yabmod::ReadFile& read);

// One line of the report about a step, without its number, e.g. "found at line 12".
std::string describeStep(const StepCheck& step);
// About a file, e.g. "changed" or "file missing".
std::string describeFile(const FileCheck& file);
// The whole report as text: the verdict, each file, its steps below it,
// warnings and differences of reading.
std::string formatReport(const CheckReport& report);

} // namespace torvale
