// The test of a mod against the forum: each forum file read once, the steps
// of every edit-file node that names it applied in the mod's order, and the
// report in words for the command line.
#include "mod_check.h"

#include "install_file.h"

#include "forum/forum_file.h"
#include "forum/name_lookup.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_map>

namespace torvale {

namespace {

using Step = StepCheck::Status;
using File = FileCheck::Status;

InstallFile::Change changeOf(std::int32_t kind) {
    switch (kind) {
    case akSearchAddBefore:
        return InstallFile::Change::AddBefore;
    case akSearchAddAfter:
        return InstallFile::Change::AddAfter;
    default:
        return InstallFile::Change::Replace;
    }
}

class Checker {
public:
    Checker(const ModDocument& doc, const CheckOptions& options) : doc_(doc), options_(options) {}

    CheckReport run() {
        int step = 0;
        for (int r = 0; r < doc_.topLevelCount(); ++r) {
            const Node* top = doc_.topLevel(r);
            if (top->kind() != akEditFile) {
                StepCheck check;
                check.node = top;
                check.status = Step::NoEditFile;
                report_.steps.push_back(check);
                continue;
            }
            const std::size_t file = fileFor(top->item().FileName);
            for (int c = 0; c < top->childCount(); ++c)
                report_.steps.push_back(checkStep(top->child(c), ++step, file));
        }
        for (std::size_t f = 0; f < report_.files.size(); ++f)
            finish(report_.files[f], open_[f]);
        return std::move(report_);
    }

private:
    struct Opened {
        ForumFile file;
        std::unique_ptr<InstallFile> lines;
    };

    // The file an edit-file node names, read when first named: later nodes
    // naming it again see what the steps before them made of it.
    std::size_t fileFor(std::string_view name) {
        FileCheck check;
        check.name = name;
        std::string key;
        if (options_.forumDirectory.empty()) {
            check.status = File::NoForumScript;
            key = "\n" + check.name;
        } else {
            check.path = resolveEditFile(options_.forumDirectory, name);
            key = check.path.empty() ? "\n\n" + check.name : check.path;
        }
        if (const auto known = byKey_.find(key); known != byKey_.end())
            return known->second;
        Opened opened;
        if (!options_.forumDirectory.empty()) {
            opened.file = loadForumFile(check.path);
            switch (opened.file.status) {
            case ForumFile::Status::Loaded:
                opened.lines = std::make_unique<InstallFile>(opened.file.content.bytes);
                break;
            case ForumFile::Status::NotFound:
                check.status = File::Missing;
                break;
            default:
                check.status = File::Unreadable;
                check.error = opened.file.error;
                break;
            }
            const std::string& dir = options_.forumDirectory;
            check.diffName =
                check.path.starts_with(dir) ? check.path.substr(dir.size()) : check.path;
        }
        byKey_.emplace(std::move(key), report_.files.size());
        report_.files.push_back(std::move(check));
        open_.push_back(std::move(opened));
        return report_.files.size() - 1;
    }

    StepCheck checkStep(const Node* node, int number, std::size_t file) {
        StepCheck check;
        check.node = node;
        check.step = number;
        check.file = file;
        switch (report_.files[file].status) {
        case File::NoForumScript:
            check.status = Step::NoForumScript;
            return check;
        case File::Missing:
            check.status = Step::FileMissing;
            return check;
        case File::Unreadable:
            check.status = Step::FileUnreadable;
            return check;
        default:
            break;
        }
        InstallFile& lines = *open_[file].lines;
        searchStorage_.clear();
        const auto search = installerLines(node->item().SearchText, searchStorage_);
        check.emptySearch = search.empty();
        const auto found = lines.find(search);
        if (!found) {
            check.status = Step::NotFound;
            return check;
        }
        check.status = Step::Found;
        check.line = found->line + 1;
        check.again = found->again == std::string_view::npos ? 0 : found->again + 1;
        // The added lines point into the document or into storage kept to the end.
        const auto action = installerLines(node->item().ActionText, actionStorage_);
        lines.apply(changeOf(node->kind()), found->line, search.size(), action);
        return check;
    }

    void finish(FileCheck& check, const Opened& opened) {
        if (!opened.lines)
            return;
        const bool changed = opened.lines->changed();
        check.status = changed ? File::Changed : File::Unchanged;
        if (changed && options_.diffs)
            check.diff = opened.lines->unifiedDiff("a/" + check.diffName, "b/" + check.diffName);
    }

    const ModDocument& doc_;
    const CheckOptions& options_;
    CheckReport report_;
    std::vector<Opened> open_; // beside report_.files
    std::unordered_map<std::string, std::size_t> byKey_;
    std::deque<std::string> searchStorage_;
    std::deque<std::string> actionStorage_;
};

} // namespace

bool CheckReport::allFound() const {
    return std::ranges::all_of(steps, [](const StepCheck& s) { return s.status == Step::Found; });
}

bool CheckReport::anyUnreadable() const {
    return std::ranges::any_of(files,
                               [](const FileCheck& f) { return f.status == File::Unreadable; });
}

CheckReport checkMod(const ModDocument& doc, const CheckOptions& options) {
    return Checker(doc, options).run();
}

std::string describeStep(const StepCheck& step) {
    switch (step.status) {
    case Step::Found:
        if (step.again)
            return "found at line " + std::to_string(step.line) + ", and again at line " +
                   std::to_string(step.again) + ": the installer takes the first";
        return "found at line " + std::to_string(step.line);
    case Step::NotFound:
        return step.emptySearch ? "not found: the search text is empty" : "not found";
    case Step::FileMissing:
        return "file missing";
    case Step::FileUnreadable:
        return "file cannot be read";
    case Step::NoForumScript:
        return "no forum script configured";
    case Step::NoEditFile:
        return "not tested: it comes before any edit-file block";
    }
    return {};
}

std::string describeFile(const FileCheck& file) {
    switch (file.status) {
    case File::Changed:
        return "changed";
    case File::Unchanged:
        return "not changed";
    case File::Missing:
        return file.path.empty() ? "file missing" : "file missing (" + file.path + ")";
    case File::Unreadable:
        return "cannot be read (" + file.path + "): " + file.error;
    case File::NoForumScript:
        return "no forum script configured";
    }
    return {};
}

std::string formatReport(const CheckReport& report) {
    std::string out;
    const auto stepLine = [&out](const StepCheck& s) {
        out.append("  step ").append(std::to_string(s.step)).append(": ");
        out.append(describeStep(s)).push_back('\n');
    };
    bool before = false;
    for (const StepCheck& s : report.steps)
        if (s.status == Step::NoEditFile) {
            if (!before)
                out.append("Before any edit file:\n");
            before = true;
            out.append("  search action: ").append(describeStep(s)).push_back('\n');
        }
    std::vector<std::vector<const StepCheck*>> byFile(report.files.size());
    for (const StepCheck& s : report.steps)
        if (s.status != Step::NoEditFile)
            byFile[s.file].push_back(&s);
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const FileCheck& file = report.files[f];
        out.append(file.name.empty() ? "(no file name)" : file.name).append(": ");
        out.append(describeFile(file)).push_back('\n');
        for (const StepCheck* s : byFile[f])
            stepLine(*s);
    }
    const auto found = std::ranges::count_if(
        report.steps, [](const StepCheck& s) { return s.status == Step::Found; });
    out.append(std::to_string(report.steps.size()))
        .append(report.steps.size() == 1 ? " step: " : " steps: ")
        .append(std::to_string(found))
        .append(" found, ")
        .append(std::to_string(std::ptrdiff_t(report.steps.size()) - found))
        .append(" failed.\n");
    return out;
}

} // namespace torvale
