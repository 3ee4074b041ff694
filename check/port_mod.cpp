// Porting a mod: the check run again after each search text it replaces, so
// that every later step is placed in the file as the earlier ones now leave it.
#include "port_mod.h"

#include <cstdio>
#include <set>

namespace torvale {

namespace {

using Status = StepCheck::Status;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// A line the installer reads as one of the mod's tags: the tag at its start,
// in either letter case, any whitespace for the tag's blank.
bool readAsTag(std::string_view line) {
    static constexpr std::string_view tags[] = {
        "<edit file>", "<search for>", "</search for>", "<add before>", "</add before>",
        "<add after>", "</add after>", "<replace>", "</replace>"};
    for (const std::string_view tag : tags) {
        if (line.size() < tag.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < tag.size() && same; ++i)
            same = tag[i] == ' ' ? std::string_view(" \t\r\n\v\f").find(line[i]) != std::string_view::npos
                                 : lower(line[i]) == tag[i];
        if (same)
            return true;
    }
    return false;
}

// The byte where the mod's line (from 0) starts; the size for lines past the end.
std::size_t lineStart(std::string_view mod, std::size_t line) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < line && at < mod.size(); ++i) {
        const std::size_t lf = mod.find('\n', at);
        at = lf == std::string_view::npos ? mod.size() : lf + 1;
    }
    return at;
}

std::string fraction(double s) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", s);
    return text;
}

// Why a place is not taken; empty when it is.
std::string whyLeft(const StepCheck& step) {
    if (step.status == Status::FileMissing)
        return "its file is missing";
    if (!step.nearest)
        return "no line of the file resembles its search text";
    const NearestPlace& p = *step.nearest;
    if (p.similarity < kPortFloor)
        return "the nearest place (line " + std::to_string(p.first) + ", similarity " +
               fraction(p.similarity) + ") is below the floor of " + fraction(kPortFloor);
    if (p.otherFirst && p.otherSimilarity > p.similarity - kPortMargin)
        return "lines " + std::to_string(p.first) + "-" + std::to_string(p.last) + " (" +
               fraction(p.similarity) + ") and lines " + std::to_string(p.otherFirst) + "-" +
               std::to_string(p.otherLast) + " (" + fraction(p.otherSimilarity) +
               ") are too close to choose";
    for (const PlaceLine& l : p.lines)
        if (l.fileLine && readAsTag(l.fileText))
            return "line " + std::to_string(l.fileLine) + " of the file would be read as a tag";
    return {};
}

} // namespace

PortResult portMod(std::string_view original, const CheckOptions& options) {
    PortResult result;
    result.mod = std::string(original);
    const std::size_t lf = result.mod.find('\n');
    const std::string lineEnd = lf != std::string::npos && lf > 0 && result.mod[lf - 1] == '\r' ? "\r\n" : "\n";
    std::set<int> decided;
    for (;;) {
        result.report = checkMod(result.mod, options);
        if (!result.report.tested || result.report.notAMod)
            return result;
        const StepCheck* next = nullptr;
        for (const StepCheck& s : result.report.steps) {
            const bool failed = s.status == Status::NotFound || s.status == Status::FileMissing ||
                                (s.status == Status::NotReached && !s.foundPast);
            if (failed && !decided.contains(s.step)) {
                next = &s;
                break;
            }
        }
        if (!next)
            return result;
        decided.insert(next->step);
        PortedStep ported{next->step, next->modLine, false, whyLeft(*next)};
        if (ported.what.empty()) {
            const NearestPlace& place = *next->nearest;
            // The search text: the lines after its tag up to its closing tag.
            const std::size_t from = lineStart(result.mod, next->modLine);
            std::size_t to = from;
            while (to < result.mod.size()) {
                const std::size_t end = result.mod.find('\n', to);
                if (readAsTag(std::string_view(result.mod).substr(to, end == std::string::npos ? std::string::npos : end - to)))
                    break;
                to = end == std::string::npos ? result.mod.size() : end + 1;
            }
            std::string lines;
            // A line of the file that two search lines became is put in once.
            std::size_t last = 0;
            for (const PlaceLine& l : place.lines)
                if (l.fileLine && l.fileLine != last) {
                    lines += l.fileText + lineEnd;
                    last = l.fileLine;
                }
            result.mod.replace(from, to - from, lines);
            ported.changed = true;
            ported.what = "took lines " + std::to_string(place.first) + "-" + std::to_string(place.last) +
                          " of the file (similarity " + fraction(place.similarity) + ")";
        }
        result.steps.push_back(std::move(ported));
    }
}

std::string formatPort(const PortResult& result) {
    std::string out;
    for (const PortedStep& s : result.steps)
        out += "step " + std::to_string(s.step) + " (line " + std::to_string(s.modLine) + "): " +
               (s.changed ? "changed: " : "left: ") + s.what + "\n";
    if (result.steps.empty())
        out += "no step failed: nothing to port\n";
    out += result.report.passes() ? "The ported mod passes the check.\n"
                                  : "The ported mod does not pass the check yet.\n";
    return out;
}

} // namespace torvale
