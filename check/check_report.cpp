// The report of a check in words, for the command line and the window.
#include "mod_check.h"

#include "document/memory_hints.h"

#include <algorithm>

namespace torvale {

namespace {

using Status = StepCheck::Status;
using FileStatus = FileCheck::Status;

std::string lines(std::size_t line, std::size_t disk) {
    std::string out = "line " + std::to_string(line);
    if (disk && disk != line)
        out += " (line " + std::to_string(disk) + " on disk)";
    else if (!disk)
        out += " (a line the mod put in)";
    return out;
}

std::string verdict(const CheckReport& report) {
    using End = yabmod::Run::End;
    if (report.notAMod)
        return "Not a mod: " + report.stopMessage + ".";
    if (!report.tested)
        return "Not tested: no forum script configured.";
    switch (report.end) {
    case End::Done:
        return "The installer would install this mod.";
    case End::InstallError:
        return "The installer would stop" +
               (report.failedStep ? " at step " + std::to_string(report.failedStep) : std::string()) +
               " (" + report.stopMessage + ") and copy the files it changed back from their backups.";
    case End::FatalError:
        return "The installer would stop (" + report.stopMessage +
               ") and leave the files it wrote before as they are.";
    case End::Died:
        return "The installer's script would die (" + report.stopMessage +
               ") and leave the files it wrote before as they are.";
    case End::NotTested:
        return "Not tested past a file of the forum's html folder, which is not known: give it "
               "with --html or in the forum's Paths.pm.";
    }
    return {};
}

// Under a failed step: where its lines most likely went, and how they differ.
std::string nearestLines(const NearestPlace& place) {
    const auto quoted = [](const std::string& text) {
        return "\"" + (text.size() > 80 ? text.substr(0, 77) + "..." : text) + "\"";
    };
    std::string out = "    " + describePlace(place) + "\n";
    std::size_t shown = 0;
    for (const PlaceLine& l : place.lines) {
        if (l.kind == PlaceLine::Kind::Same)
            continue;
        if (++shown > 12) {
            out += "      ...\n";
            break;
        }
        switch (l.kind) {
        case PlaceLine::Kind::Changed:
            out += "      search line " + std::to_string(l.searchLine) + " " + quoted(l.searchText) +
                   "\n        is line " + std::to_string(l.fileLine) + " " + quoted(l.fileText) + "\n";
            break;
        case PlaceLine::Kind::Added:
            out += "      line " + std::to_string(l.fileLine) + " is added: " + quoted(l.fileText) + "\n";
            break;
        case PlaceLine::Kind::Removed:
            out += "      search line " + std::to_string(l.searchLine) + " is not there: " +
                   quoted(l.searchText) + "\n";
            break;
        case PlaceLine::Kind::Same:
            break;
        }
    }
    return out;
}

} // namespace

std::string describeStep(const StepCheck& step) {
    std::string out;
    switch (step.status) {
    case Status::Found:
        out = "found at " + lines(step.line, step.diskLine);
        if (step.again)
            out += ", and again at line " + std::to_string(step.again) + ": the installer takes the first";
        return out;
    case Status::NotFound:
        return "not found" + (step.reason.empty() ? std::string() : ": " + step.reason);
    case Status::FileMissing:
        return "file missing" + (step.reason.empty() ? std::string() : ": " + step.reason);
    case Status::Mismatch:
        return "the lines it added are not where the install put them";
    case Status::NoAction:
        return "no action block before the next <edit file>";
    case Status::NotReached:
        out = "not reached: the installer stops before it";
        if (step.foundPast && step.line)
            out += " (past the failures it would be found at line " + std::to_string(step.line) + ")";
        else if (!step.foundPast && !step.reason.empty())
            out += " (and not found either: " + step.reason + ")";
        return out;
    case Status::NotTested:
        return "not tested" + (step.reason.empty() ? std::string() : ": " + step.reason);
    }
    return {};
}

std::string describeFile(const FileCheck& file) {
    switch (file.status) {
    case FileStatus::Changed:
        return "changed";
    case FileStatus::Unchanged:
        return "not changed";
    case FileStatus::Missing:
        return "file missing: " + file.reason;
    case FileStatus::NotTested:
        return "not tested: " + file.reason;
    case FileStatus::NoForumScript:
        return "no forum script configured";
    case FileStatus::NotReached:
        return "not reached";
    }
    return {};
}

std::string formatReport(const CheckReport& report) {
    // A line or so for each step (about 140 bytes), made in place: a report
    // of tens of thousands of steps would otherwise be copied as it doubles.
    // Room not written costs nothing.
    std::string out;
    out.reserve(report.steps.size() * 192 + report.files.size() * 128 + 4096);
    adviseHugePages(out.data(), out.capacity());
    out += verdict(report) + "\n";
    std::vector<std::vector<const StepCheck*>> stepsOf(report.files.size());
    for (const StepCheck& s : report.steps)
        if (s.file < stepsOf.size())
            stepsOf[s.file].push_back(&s);
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const FileCheck& file = report.files[f];
        out += (file.name.empty() ? std::string("(no file name)") : file.name) + " (line " +
               std::to_string(file.modLine) + "): " + describeFile(file) + "\n";
        for (const StepCheck* step : stepsOf[f]) {
            const StepCheck& s = *step;
            out += "  step " + std::to_string(s.step) + " (line " + std::to_string(s.modLine) +
                   ", \"" + s.firstLine.substr(0, 60) + "\"): " + describeStep(s) + "\n";
            // A place the same but for blanks or case the reason already names.
            if (s.nearest && s.nearest->only.empty() &&
                (s.status == Status::NotFound || s.status == Status::NotReached))
                out += nearestLines(*s.nearest);
        }
    }
    for (const CheckWarning& w : report.warnings)
        out += "warning" + (w.modLine ? " (line " + std::to_string(w.modLine) + ")" : std::string()) +
               ": " + w.what + "\n";
    for (const ReadingDifference& d : report.differences)
        out += "reading (line " + std::to_string(d.modLine) + "): " + d.what + "\n";
    if (report.uninstall) {
        out += report.uninstall->restores
                   ? "Uninstall: every file comes back byte for byte.\n"
                   : "Uninstall: not every file comes back as it was.\n";
        for (const std::string& p : report.uninstall->problems)
            out += "  " + p + "\n";
    }
    const auto count = [&](Status s) {
        return std::ranges::count_if(report.steps, [s](const StepCheck& c) { return c.status == s; });
    };
    if (!report.notAMod) {
        const std::size_t n = report.steps.size();
        out += std::to_string(n) + (n == 1 ? " step: " : " steps: ") +
               std::to_string(count(Status::Found)) + " found";
        const std::size_t failed = std::size_t(count(Status::NotFound) + count(Status::FileMissing) +
                                               count(Status::Mismatch) + count(Status::NoAction));
        out += ", " + std::to_string(failed) + " failed";
        if (const auto r = count(Status::NotReached))
            out += ", " + std::to_string(r) + " not reached";
        if (const auto t = count(Status::NotTested))
            out += ", " + std::to_string(t) + " not tested";
        out += ".\n";
    }
    return out;
}

} // namespace torvale
