// YaBB 2.7's mod installer (Admin/YaBMod.pm, with fopen of Sources/Subs.pm)
// run in memory: the mod read from its own bytes by the installer's rules,
// each step applied to the forum's files as the installer applies it, and
// what it writes, backs up and restores on a disk kept in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {
class InstallFile;
}

namespace torvale::yabmod {

enum class Mode {
    Install,   // yabm_applymod
    Uninstall, // yabm_uninstallmod
};

// Where the installer looks for files: $boarddir for names as written, and
// $htmldir for names that start with "<html>". Absolute, "/" between
// folders, no "/" at the end. html empty: not known, and a step on such a
// file is not tested.
struct Folders {
    std::string board;
    std::string html;
};

// What stands at a path of the disk.
struct DiskEntry {
    enum class Kind { Missing, File, Folder, Unreadable };
    Kind kind = Kind::Missing;
    std::string bytes; // File
};
// Reads an entry of the disk the run starts from.
using ReadFile = std::function<DiskEntry(const std::string& path)>;
// The file system of this machine.
DiskEntry readFromDisk(const std::string& path);

class Content;
// What a run leaves in a file it wrote: its bytes, printed when first asked
// for (most backups never are), or nothing when the run removed the file.
class FileAfter {
public:
    FileAfter() = default;
    explicit FileAfter(std::shared_ptr<const Content> content) : content_(std::move(content)) {}
    explicit operator bool() const { return content_ != nullptr; }
    const std::string& operator*() const;
    const std::string* operator->() const { return &**this; }
    std::optional<std::string> value() const {
        return content_ ? std::optional<std::string>(**this) : std::nullopt;
    }
    std::string value_or(std::string otherwise) const {
        return content_ ? **this : std::move(otherwise);
    }

private:
    std::shared_ptr<const Content> content_;
};

struct StepRun {
    enum class Action { Replace, AddBefore, AddAfter, None };
    enum class Result {
        Found,
        NotFound,   // dosearch found no run of lines
        NoFile,     // keepGoing only: its file could not be opened
        Mismatch,   // uninstall: the added lines do not stand where they were put
        NoAction,   // keepGoing only: an "<edit file>" came before its action
        NotTested,  // its file is in the html folder, which is not known
        Elsewhere,  // a share of the run: another share runs its file
    };
    int number = 0;             // $j, from 1
    std::size_t modLine = 0;    // the line of its "<search for>", from 1
    std::size_t actionLine = 0; // the line of its action tag; 0 when none was read
    Action action = Action::None;
    std::size_t file = 0;       // index into Run::files
    // $searchfound: the first line of the run of lines found, from 0, in the
    // file as the steps before left it; nothing when not found.
    std::optional<std::size_t> found;
    Result result = Result::NotFound;
    // Where the search text stands again further down, from 0; npos for nowhere.
    std::size_t again = std::string::npos;
    std::size_t searchLines = 0; // the lines searched for, after Perl's autovivification
    // The lines of its texts as read from the mod: the search text's stand
    // right after modLine, the action text's right after actionLine.
    std::size_t searchRead = 0;
    std::size_t actionRead = 0;
};

// A file an "<edit file>" block opened.
struct FileRun {
    std::string name;   // as the installer took it from the mod: "\" made "/", "<html>" taken off
    std::string path;   // the path it opened, as fopen cleaned it
    std::size_t modLine = 0; // the line of the "<edit file>" tag, from 1
    // Why it could not be opened, in words; empty when it was.
    std::string problem;
    bool elsewhere = false; // a share of the run: another share opens it
};

struct Run {
    enum class End {
        Done,         // every step found, every file written
        InstallError, // install_error: the files in its list copied back from their backups
        FatalError,   // fopen refused a name ("/../"): the run ends, nothing restored
        Died,         // Perl dies (an index before the start of the file): nothing restored
        NotTested,    // a file in the html folder, which is not known: nothing to say after it
    };
    End end = End::Done;
    int failedStep = 0;          // $j at the error; 0 when it is not a step's
    std::size_t failedModLine = 0; // the mod's line the installer was at, from 1
    std::string message;         // why, in words
    std::vector<FileRun> files;  // in the order the mod opens them
    std::vector<StepRun> steps;  // in the order the installer reached them
    // The disk after the run, where it differs from before: each path the
    // run wrote, made, renamed or removed, with its bytes (nothing: removed).
    std::map<std::string, FileAfter> changes;
};

// A step as it is run, for reports that look at the file around it.
struct StepView {
    const StepRun& step;
    const FileRun& fileRun;
    const torvale::InstallFile& file; // as the steps before left it, or after it (after)
    // The keys of the lines searched for, and the lines put in, as read from the mod.
    const std::vector<std::string_view>& search;
    const std::vector<std::string_view>& added;
    bool after; // false: before the step changes the file
};

struct Options {
    // A step whose search text is not found, or whose file cannot be
    // opened, is skipped instead of ending the run, so that an author sees
    // every failing step at once.
    bool keepGoing = false;
    // Only the mod is read: no file is opened, searched or written, and
    // every step is handed to onStep with an empty file, for those who want
    // to know how the installer reads a mod.
    bool readingOnly = false;
    std::function<void(const StepView&)> onStep;
    // The run ends after this step ($j, from 1), before anything else is
    // opened or written, for those who want a file as far as it goes; 0 runs
    // the whole mod.
    int lastStep = 0;
    // Run::changes is filled; those who only watch the steps spare its copies.
    bool withChanges = true;
    // perlLines(mod), for those who run the same mod more than once: a mod
    // of a million lines is split once.
    const std::vector<std::string_view>* modLines = nullptr;
    // The mod's bytes outlive the Run: lines put into files from the mod
    // point into it instead of being copied, half a million of them for a
    // mod of thirty megabytes.
    bool modOutlivesRun = false;
    // Every carriage return in the mod stands right before a line feed
    // (crsOnlyBeforeLfs), for those who know it: the keys of its lines are
    // then found without a look through each.
    bool modCrsOnlyBeforeLfs = false;
    // A share of a keep-going install, for a run on several threads at once:
    // each share reads the whole mod, with every variable the installer
    // carries from step to step, but opens only the files that fall to it
    // (shareOf); the steps on the others come to onStep with an empty file
    // and the result Elsewhere. mergeShares makes the shares one run. The
    // read function is then called from each share's thread.
    struct Share {
        unsigned index = 0;
        unsigned count = 1;
    } share;
};

// The share of count that opens the file at path: the same for the file and
// the backups the installer makes beside it.
unsigned shareOf(std::string_view path, unsigned count);

// The runs of every share of a keep-going install, made the run of the whole:
// nothing when the shares ended apart, or when one of them wrote a file of
// another's (a backup copied into a folder, say), for then only a run of the
// whole tells what happens.
std::optional<Run> mergeShares(std::vector<Run> shares);

Run runInstaller(std::string_view mod, const Folders& folders, Mode mode,
                 const ReadFile& read = readFromDisk, const Options& options = {});

} // namespace torvale::yabmod
