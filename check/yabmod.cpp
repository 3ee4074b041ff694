// yabm_applymod and yabm_uninstallmod of YaBB 2.7 as Perl runs them: the
// same loops over the mod's lines and the same variables carried from step
// to step, so that every quirk of the installer is kept; the files it opens,
// writes and restores. Each step's splices are in yabmod_apply.cpp.
#include "yabmod.h"

#include "install_file.h"
#include "yabmod_disk.h"
#include "yabmod_installer.h"

#include <algorithm>
#include <memory>

namespace torvale::yabmod {

namespace {

bool perlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// /^<edit\s file>/ixsm and its like: the tag at the very start of the line,
// in either letter case, one whitespace character where the tag has its blank.
[[gnu::always_inline]] inline bool opens(std::string_view line, std::string_view tag) {
    // Most lines are code: every tag starts with "<", and the tag's second
    // letter tells most tags apart.
    if (line.size() < tag.size() || line[0] != '<' || lower(line[1]) != tag[1])
        return false;
    for (std::size_t i = 2; i < tag.size(); ++i)
        if (tag[i] == ' ' ? !perlSpace(line[i]) : lower(line[i]) != tag[i])
            return false;
    return true;
}

constexpr std::string_view kEditFile = "<edit file>";
constexpr std::string_view kSearch = "<search for>";
constexpr std::string_view kSearchEnd = "</search for>";
constexpr std::string_view kBefore = "<add before>";
constexpr std::string_view kBeforeEnd = "</add before>";
constexpr std::string_view kAfter = "<add after>";
constexpr std::string_view kAfterEnd = "</add after>";
constexpr std::string_view kReplace = "<replace>";
constexpr std::string_view kReplaceEnd = "</replace>";

} // namespace

Run Installer::run() {
    try {
        walk();
        // After the last block: the file it changed is written. With no
        // "<edit file>" at all this writes "/", which fails.
        writeBack();
    } catch (const Stop&) {
    }
    if (options_.withChanges)
        run_.changes = disk_.changes();
    return std::move(run_);
}

void Installer::walk() {
    std::size_t i = 0;
    while (i < mod_.size() && !opens(line(i), kEditFile))
        ++i;
    if (i >= mod_.size())
        return;
    // The loop over the lines after the first "<edit file>"; each further
    // one writes the file before and starts again at its own line.
    for (;;) {
        openFile(i);
        i += 3;
        for (; i < mod_.size(); ++i) {
            if (opens(line(i), kEditFile)) {
                writeBack();
                break;
            }
            if (opens(line(i), kSearch)) {
                i = step(i);
                if (atEditFile_) {
                    // keepGoing past a step whose action never came
                    atEditFile_ = false;
                    writeBack();
                    break;
                }
            }
        }
        if (i >= mod_.size())
            return;
    }
}

void Installer::openFile(std::size_t i) {
    endAfterLastStep();
    // The name is the line after the tag, whatever it holds.
    name_ = std::string(withoutLf(line(i + 1)));
    for (char& c : name_)
        if (c == '\\')
            c = '/';
    html_ = name_.size() >= 6 && std::equal(name_.begin(), name_.begin() + 6, "<html>",
                                            [](char a, char b) { return lower(a) == b; });
    if (html_) {
        for (std::size_t at; (at = name_.find("<html>")) != std::string::npos;)
            name_.erase(at, 6);
    }
    editDir_ = html_ ? folders_.html : folders_.board;
    haveName_ = true;
    FileRun file;
    file.name = name_;
    file.modLine = i + 1;
    const std::string full = editDir_ + "/" + name_;
    file.path = Disk::fopenName(full).value_or(full);
    run_.files.push_back(file);
    current_.reset();
    if (options_.readingOnly) {
        static const std::string none;
        current_ = std::make_unique<InstallFile>(none);
        return;
    }
    // Shares are for keep-going installs: elsewhere a share runs the whole.
    const Options::Share& share = options_.share;
    if (share.count > 1 && options_.keepGoing && mode_ == Mode::Install &&
        shareOf(file.path, share.count) != share.index) {
        run_.files.back().elsewhere = true;
        fileResult_ = Result::Elsewhere;
        return;
    }
    if (html_ && folders_.html.empty()) {
        run_.files.back().problem = "the forum's html folder is not known";
        if (!options_.keepGoing)
            stop(Run::End::NotTested, 0, i, run_.files.back().problem);
        fileResult_ = Result::NotTested;
        return;
    }
    auto bytes = openToRead(full, i);
    if (!bytes) {
        if (run_.files.back().problem.empty())
            run_.files.back().problem = "cannot open " + full;
        if (!options_.keepGoing)
            installError(0, i, run_.files.back().problem);
        fileResult_ = Result::NoFile;
        return;
    }
    // The lines the installer wrote there itself are read back as they
    // are; bytes are split, and kept alive by the file.
    if (const InstallFile* written = bytes->lines())
        current_ = std::make_unique<InstallFile>(*written);
    else
        current_ = std::make_unique<InstallFile>(bytes->bytes(), bytes);
    recall_.push_back(name_);
}

std::shared_ptr<const Content> Installer::openToRead(const std::string& full, std::size_t at) {
    const auto name = Disk::fopenName(full);
    if (!name) {
        const std::string why = "fopen refuses a name with /../: " + full;
        if (!options_.keepGoing)
            stop(Run::End::FatalError, 0, at, why);
        run_.files.back().problem = why;
        return nullptr;
    }
    disk_.takeBackBackup(*name);
    return disk_.openToRead(*name);
}

std::size_t Installer::step(std::size_t i) {
    endAfterLastStep();
    StepRun step;
    step.number = ++j_;
    step.modLine = i + 1;
    step.file = run_.files.size() - 1;
    ++i;
    search_.clear();
    for (; !opens(line(i), kSearchEnd); ++i) {
        search_.emplace_back(line(i));
        if (i >= mod_.size())
            installError(j_, i, "no </search for> for step " + std::to_string(j_));
    }
    step.searchRead = search_.size();
    ++i;
    long offset = 0;
    for (; i < mod_.size(); ++i) {
        if (opens(line(i), kEditFile)) {
            if (!options_.keepGoing)
                installError(j_, i, "no action for step " + std::to_string(j_));
            step.result = Result::NoAction;
            run_.steps.push_back(step);
            atEditFile_ = true;
            return i;
        }
        if (opens(line(i), kBefore)) {
            step.action = Action::AddBefore;
            step.actionLine = i + 1;
            i = collect(i + 1, kBeforeEnd, "</add before>", added_);
            offset = mode_ == Mode::Install ? 0 : -long(added_.size());
            break;
        }
        if (opens(line(i), kAfter)) {
            step.action = Action::AddAfter;
            step.actionLine = i + 1;
            i = collect(i + 1, kAfterEnd, "</add after>", added_);
            offset = long(search_.size());
            break;
        }
        if (opens(line(i), kReplace)) {
            step.action = Action::Replace;
            step.actionLine = i + 1;
            if (mode_ == Mode::Install) {
                i = collect(i + 1, kReplaceEnd, "</replace>", added_);
                offset = -1;
            } else {
                // Uninstalling puts back the search text in place of the replacement.
                added_ = search_;
                addedEdits_.clear();
                std::vector<std::string_view> replacement;
                i = collect(i + 1, kReplaceEnd, "</replace>", replacement);
                search_ = std::move(replacement);
                offset = 0;
            }
            break;
        }
    }
    if (step.actionLine)
        step.actionRead = i - 1 - step.actionLine;
    apply(step, offset);
    return i;
}

std::size_t Installer::collect(std::size_t i, std::string_view end, const std::string& tag,
                               std::vector<std::string_view>& into) {
    if (&into == &added_)
        addedEdits_.clear();
    into.clear();
    for (; !opens(line(i), end); ++i) {
        into.emplace_back(line(i));
        if (i >= mod_.size())
            installError(j_, i, "no " + tag + " for step " + std::to_string(j_));
    }
    return i + 1;
}

void Installer::writeBack() {
    if (!haveName_ && !options_.readingOnly) {
        // undef names: the installer copies "/" to "/.bak" and cannot write "/".
        disk_.copy("/", "/.bak");
        installError(0, mod_.size(), "no <edit file> block: the installer tries to write /");
    }
    if (!current_ || options_.readingOnly)
        return; // keepGoing past a file that did not open
    const std::string full = editDir_ + "/" + name_;
    disk_.copy(full, full + ".bak");
    const auto name = Disk::fopenName(full);
    if (!name)
        stop(Run::End::FatalError, 0, mod_.size(), "fopen refuses a name with /../: " + full);
    disk_.takeBackBackup(*name);
    if (!disk_.canWrite(*name))
        installError(0, mod_.size(), "cannot write " + full);
    // The lines are handed over: the next block opens the file anew.
    disk_.write(*name, std::move(*current_));
    current_.reset();
}

void Installer::endAfterLastStep() const {
    if (options_.lastStep > 0 && j_ >= options_.lastStep)
        throw Stop{};
}

void Installer::installError(int step, std::size_t line, std::string why) {
    // Every file opened so far is copied back from its backup in the
    // forum folder, whichever folder it came from.
    for (const std::string& name : recall_)
        disk_.copy(folders_.board + "/" + name + ".bak", folders_.board + "/" + name);
    stop(Run::End::InstallError, step, line, std::move(why));
}

void Installer::stop(Run::End end, int step, std::size_t line, std::string why) {
    run_.end = end;
    run_.failedStep = step;
    run_.failedModLine = line + 1;
    run_.message = std::move(why);
    throw Stop{};
}

Run runInstaller(std::string_view mod, const Folders& folders, Mode mode, const ReadFile& read,
                 const Options& options) {
    return Installer(mod, folders, mode, read, options).run();
}

} // namespace torvale::yabmod
