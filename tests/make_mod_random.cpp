// Random changes to stretches of the real forum's files, seeded, so that a
// failure names its case.
#include "make_mod_random.h"

#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

namespace torvale::test {

namespace {

struct Line {
    std::string text; // without its end
    bool ended = true;
};

const std::vector<std::vector<std::string>>& forumFiles() {
    static const std::vector<std::vector<std::string>> files = [] {
        std::vector<std::filesystem::path> paths;
        for (const auto& e :
             std::filesystem::recursive_directory_iterator(sharedDir() / "forum/yabb2"))
            if (e.is_regular_file())
                paths.push_back(e.path());
        std::sort(paths.begin(), paths.end());
        std::vector<std::vector<std::string>> out;
        for (const auto& p : paths) {
            std::vector<std::string> lines;
            std::string bytes = readBytes(p);
            std::erase(bytes, '\r');
            for (std::size_t start = 0; start < bytes.size();) {
                const std::size_t lf = std::min(bytes.find('\n', start), bytes.size());
                lines.push_back(bytes.substr(start, lf - start));
                start = lf + 1;
            }
            out.push_back(std::move(lines));
        }
        return out;
    }();
    return files;
}

std::string bytesOf(const std::vector<Line>& lines, bool crlf) {
    std::string out;
    for (const Line& l : lines)
        out += l.text + (l.ended ? (crlf ? "\r\n" : "\n") : "");
    return out;
}

} // namespace

MakeCase randomMakeCase(std::uint32_t seed) {
    std::mt19937 rng(seed);
    const auto pick = [&rng](std::size_t n) { return std::size_t(rng() % n); };
    const auto& files = forumFiles();
    // Now and then a short file of a few kinds of line, blank and lone braces
    // among them: nearly every run of it stands twice.
    static const std::vector<std::string> few = {"", "}", "{", "    return;", " ", "1;"};
    const bool fewKinds = pick(5) == 0;
    const auto& source = fewKinds ? few : files[pick(files.size())];
    MakeCase c;
    c.pair.name = "Sources/Case" + std::to_string(seed) + ".pm";
    std::vector<Line> lines;
    if (fewKinds) {
        for (std::size_t i = 1 + pick(30); i > 0; --i)
            lines.push_back({few[pick(few.size())]});
        c.what += "few kinds of line; ";
    } else {
        const std::size_t length = std::min(source.size(), 10 + pick(150));
        const std::size_t start = pick(source.size() - length + 1);
        for (std::size_t i = start; i < start + length; ++i)
            lines.push_back({source[i]});
    }
    if (pick(3) == 0 && lines.size() > 6) { // repeated code
        const std::size_t from = pick(lines.size() - 4),
                          count = 2 + pick(std::min<std::size_t>(10, lines.size() - from - 2));
        const std::vector<Line> block(lines.begin() + long(from),
                                      lines.begin() + long(from + count));
        lines.insert(lines.begin() + long(pick(lines.size() + 1)), block.begin(), block.end());
        c.what += "repeated " + std::to_string(count) + " lines; ";
    }
    c.crlf = pick(4) == 0;
    if (pick(5) == 0)
        lines.back().ended = false;
    std::vector<Line> changed = lines;
    const std::vector<std::string> made = {"",    "}",           "    # added by the case",
                                           "  {", "    return;", "my $x = 1;"};
    const auto newLine = [&]() -> Line {
        return {pick(2) ? made[pick(made.size())] : source[pick(source.size())]};
    };
    c.edits = 1 + pick(6);
    for (std::size_t e = 0; e < c.edits; ++e) {
        const std::size_t where = pick(4);
        std::size_t at = where == 0 ? 0 : where == 1 ? changed.size() : pick(changed.size() + 1);
        const std::size_t kind = pick(3);
        const std::size_t count = 1 + pick(3);
        if (kind == 0 || changed.size() < 5) {
            // An insertion after an unended last line ends it first.
            if (at == changed.size() && !changed.empty())
                changed.back().ended = true;
            for (std::size_t k = 0; k < count; ++k)
                changed.insert(changed.begin() + long(at), newLine());
            c.what += "put in " + std::to_string(count) + " at " + std::to_string(at) + "; ";
            continue;
        }
        at = std::min(at, changed.size() - count);
        const bool last = at + count == changed.size();
        const bool lastEnded = changed.back().ended;
        changed.erase(changed.begin() + long(at), changed.begin() + long(at + count));
        if (kind == 2)
            for (std::size_t k = 0; k < count; ++k)
                changed.insert(changed.begin() + long(at), newLine());
        if (last)
            changed.back().ended = lastEnded;
        c.what += std::string(kind == 1 ? "removed " : "changed ") + std::to_string(count) +
                  " at " + std::to_string(at) + "; ";
    }
    if (pick(6) == 0) {
        changed.back().ended = !changed.back().ended;
        ++c.edits;
        c.what += "last line end turned; ";
    }
    c.pair.original = bytesOf(lines, c.crlf);
    c.pair.changed = bytesOf(changed, c.crlf);
    return c;
}

} // namespace torvale::test
