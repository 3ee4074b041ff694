// YaBB 2.7's mod installer (Admin/YaBMod.pm, with fopen of Sources/Subs.pm)
// run in memory: the mod read from its own bytes by the installer's rules,
// each step applied to the forum's files as the installer applies it, and
// what it writes, backs up and restores on a disk kept in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Reads a file of the real disk: its bytes, or nothing when there is no
// regular file at path.
using ReadFile = std::function<std::optional<std::string>(const std::string& path)>;
// The disk as it is: the file system of this machine.
std::optional<std::string> readFromDisk(const std::string& path);

struct StepRun {
    enum class Action { Replace, AddBefore, AddAfter, None };
    int number = 0;             // $j, from 1
    std::size_t modLine = 0;    // the line of its "<search for>", from 1
    std::size_t actionLine = 0; // the line of its action tag; 0 when none was read
    Action action = Action::None;
    std::size_t file = 0;       // index into Run::files
    // $searchfound: the first line of the run of lines found, from 0, in the
    // file as the steps before left it; nothing when not found.
    std::optional<std::size_t> found;
};

// A file an "<edit file>" block opened.
struct FileRun {
    std::string name;   // as the installer took it from the mod: "\" made "/", "<html>" taken off
    std::string path;   // the path it opened, as fopen cleaned it
    std::size_t modLine = 0; // the line of the "<edit file>" tag, from 1
};

struct Run {
    enum class End {
        Done,         // every step found, every file written
        InstallError, // install_error: the files in its list copied back from their backups
        FatalError,   // fopen refused a name ("/../"): the run ends, nothing restored
    };
    End end = End::Done;
    int failedStep = 0;          // $j at the error; 0 when it is not a step's
    std::size_t failedModLine = 0; // the mod's line the installer was at, from 1
    std::string message;         // why, in words
    std::vector<FileRun> files;  // in the order the mod opens them
    std::vector<StepRun> steps;  // in the order the installer reached them
    // The disk after the run, where it differs from before: each path the
    // run wrote, made, renamed or removed, with its bytes (nothing: removed).
    std::map<std::string, std::optional<std::string>> changes;
};

struct Options {
    // A step whose search text is not found is skipped instead of ending the
    // run, so that an author sees every failing step at once.
    bool keepGoing = false;
};

Run runInstaller(std::string_view mod, const Folders& folders, Mode mode,
                 const ReadFile& read = readFromDisk, const Options& options = {});

} // namespace torvale::yabmod
