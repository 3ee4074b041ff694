// The check's report written as JSON with the document's string escapes, so
// that every byte of a file name or a line comes back exactly.
#include "check_json.h"

#include "document/json_dump.h"

#include <cstdio>

namespace torvale {

namespace {

using Status = StepCheck::Status;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string lineOrNull(std::size_t line) {
    return line ? std::to_string(line) : "null";
}

const char* fileWord(FileCheck::Status status) {
    switch (status) {
    case FileCheck::Status::Changed:
        return "changed";
    case FileCheck::Status::Unchanged:
        return "not changed";
    case FileCheck::Status::Missing:
        return "file missing";
    case FileCheck::Status::NotTested:
        return "not tested";
    case FileCheck::Status::NoForumScript:
        return "not tested";
    case FileCheck::Status::NotReached:
        return "not reached";
    }
    return "";
}

const char* lineKind(PlaceLine::Kind kind) {
    switch (kind) {
    case PlaceLine::Kind::Same:
        return "same";
    case PlaceLine::Kind::Changed:
        return "changed";
    case PlaceLine::Kind::Removed:
        return "removed";
    case PlaceLine::Kind::Added:
        return "added";
    }
    return "";
}

void appendNearest(std::string& out, const NearestPlace& place) {
    out += "{\"first\": " + std::to_string(place.first) + ", \"last\": " + std::to_string(place.last) +
           ", \"similarity\": " + number(place.similarity) + ", \"only\": ";
    if (place.only.empty())
        out += "null";
    else
        appendJsonString(out, place.only);
    out += ", \"other\": ";
    if (place.otherFirst)
        out += "{\"first\": " + std::to_string(place.otherFirst) + ", \"last\": " +
               std::to_string(place.otherLast) + ", \"similarity\": " + number(place.otherSimilarity) + "}";
    else
        out += "null";
    out += std::string(", \"ambiguous\": ") + (place.ambiguous ? "true" : "false") + ", \"lines\": [";
    for (std::size_t i = 0; i < place.lines.size(); ++i) {
        const PlaceLine& l = place.lines[i];
        out += std::string(i ? ", " : "") + "{\"kind\": \"" + lineKind(l.kind) +
               "\", \"search_line\": " + lineOrNull(l.searchLine) +
               ", \"line\": " + lineOrNull(l.fileLine) + ", \"search_text\": ";
        appendJsonString(out, l.searchText);
        out += ", \"text\": ";
        appendJsonString(out, l.fileText);
        out += "}";
    }
    out += "]}";
}

void appendModLines(std::string& out, const char* name, const auto& items) {
    out += std::string(", \"") + name + "\": [";
    bool first = true;
    for (const auto& item : items) {
        out += std::string(first ? "" : ", ") + "{\"mod_line\": " + lineOrNull(item.modLine) +
               ", \"text\": ";
        appendJsonString(out, item.what);
        out += "}";
        first = false;
    }
    out += "]";
}

} // namespace

const char* statusWord(const StepCheck& step) {
    switch (step.status) {
    case Status::Found:
        return step.again ? "found again" : "found";
    case Status::NotFound:
        return "not found";
    case Status::FileMissing:
        return "file missing";
    case Status::Mismatch:
        return "mismatch";
    case Status::NoAction:
        return "no action";
    case Status::NotReached:
        return "not reached";
    case Status::NotTested:
        return "not tested";
    }
    return "";
}

std::string reportJson(const CheckReport& report) {
    std::string out = std::string("{\"installs\": ") + (report.passes() ? "true" : "false") +
                      ", \"tested\": " + (report.tested ? "true" : "false") +
                      ", \"not_a_mod\": " + (report.notAMod ? "true" : "false") + ", \"stop\": ";
    if (report.stopMessage.empty())
        out += "null";
    else
        appendJsonString(out, report.stopMessage);
    out += ", \"failed_step\": " + (report.failedStep ? std::to_string(report.failedStep) : "null");
    out += ", \"files\": [";
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const FileCheck& file = report.files[f];
        out += std::string(f ? ", " : "") + "{\"file\": ";
        appendJsonString(out, file.name);
        out += ", \"mod_line\": " + std::to_string(file.modLine) + ", \"status\": \"" +
               fileWord(file.status) + "\", \"reason\": ";
        appendJsonString(out, file.reason);
        out += "}";
    }
    out += "], \"steps\": [";
    for (std::size_t i = 0; i < report.steps.size(); ++i) {
        const StepCheck& s = report.steps[i];
        out += std::string(i ? ", " : "") + "{\"step\": " + std::to_string(s.step) +
               ", \"mod_line\": " + std::to_string(s.modLine) + ", \"file\": ";
        appendJsonString(out, s.file < report.files.size() ? report.files[s.file].name : "");
        out += std::string(", \"status\": \"") + statusWord(s) + "\", \"line\": " + lineOrNull(s.line) +
               ", \"again\": " + lineOrNull(s.again) + ", \"first_line\": ";
        appendJsonString(out, s.firstLine);
        out += ", \"reason\": ";
        appendJsonString(out, s.reason);
        out += ", \"nearest\": ";
        if (s.nearest)
            appendNearest(out, *s.nearest);
        else
            out += "null";
        out += "}";
    }
    out += "]";
    appendModLines(out, "warnings", report.warnings);
    appendModLines(out, "reading", report.differences);
    out += ", \"uninstall\": ";
    if (!report.uninstall) {
        out += "null";
    } else {
        out += std::string("{\"restores\": ") + (report.uninstall->restores ? "true" : "false") +
               ", \"problems\": [";
        for (std::size_t p = 0; p < report.uninstall->problems.size(); ++p) {
            out += p ? ", " : "";
            appendJsonString(out, report.uninstall->problems[p]);
        }
        out += "]}";
    }
    out += "}\n";
    return out;
}

} // namespace torvale
