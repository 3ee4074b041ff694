// Random cases for the installer: a small forum of real and generated files and
// a mod whose blocks, tags, texts, names and line ends hit the installer's rules.
#include "yabmod_cases.h"

#include "test_support.h"

#include <random>

namespace torvale::test {

namespace {

using Rng = std::mt19937;

int pick(Rng& rng, int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(rng);
}

bool chance(Rng& rng, int percent) {
    return pick(rng, 100) < percent;
}

// Few lines, often repeated, so that a search text is found in several places.
const std::vector<std::string> kLines = {"use strict;", "sub a {", "    return 1;", "}", "", "# a comment",
                                         "my $x = 1;", "print $x;", "\t$y++;", "    ", "1;"};
// Action texts also hold tag text in the middle of a line and tag-like lines.
const std::vector<std::string> kActionLines = {"my $x = '<add after>';", "# <search for> is here",
                                               "    return 2;", "", "<br />", "x"};
// Real files of the forum, small enough for every case.
const std::vector<std::string> kRealFiles = {"Admin/ModList.pm", "Admin/.htaccess", "Boards/.htaccess",
                                             "Sources/.htaccess", "YaBB.pl"};
const std::vector<std::string> kGenerated = {"Sources/A.pm", "Admin/B.pm", "Gen.txt"};

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void loneCr(Rng& rng, std::string& line) {
    line.insert(std::size_t(pick(rng, int(line.size()) + 1)), "\r");
}

std::string generatedFile(Rng& rng) {
    if (chance(rng, 8))
        return {};
    const std::string eol = chance(rng, 35) ? "\r\n" : "\n";
    const int mixed = chance(rng, 15) ? 20 : 0;
    std::string out;
    for (int n = 1 + pick(rng, 12); n > 0; --n) {
        std::string line = kLines[std::size_t(pick(rng, int(kLines.size())))];
        if (chance(rng, 4))
            loneCr(rng, line);
        out += line + (chance(rng, mixed) ? (eol == "\n" ? "\r\n" : "\n") : eol);
    }
    if (chance(rng, 25))
        out.resize(out.size() - (out.back() == '\n' && out.size() > 1 && out[out.size() - 2] == '\r' ? 2 : 1));
    return out;
}

// Writes the mod's lines with its line ends and its mistakes.
struct ModWriter {
    Rng& rng;
    int noise;   // percent of tags written in another form
    std::string eol;
    bool mixed;
    std::string out;

    void line(std::string text) {
        if (chance(rng, noise / 4))
            loneCr(rng, text);
        out += text;
        out += mixed && chance(rng, 50) ? (eol == "\n" ? "\r\n" : "\n") : eol;
    }

    void tag(std::string name) {
        if (chance(rng, noise)) {
            switch (pick(rng, 6)) {
            case 0:
                for (char& ch : name)
                    if (chance(rng, 50))
                        ch = char(std::toupper(static_cast<unsigned char>(ch)));
                break;
            case 1:
                if (auto blank = name.find(' '); blank != std::string::npos)
                    name[blank] = '\t';
                break;
            case 2: line(" <" + name + ">"); return;
            case 3:
                if (auto blank = name.find(' '); blank != std::string::npos)
                    name.insert(blank, " ");
                break;
            case 4: line("<" + name + "> trailing"); return;
            default: line("x = '<" + name + ">';"); return;
            }
        }
        line("<" + name + ">");
    }

    // A block: its tag, its lines, its closing tag, now and then missing.
    void block(const std::string& name, const std::vector<std::string>& lines) {
        tag(name);
        for (const auto& l : lines)
            line(l);
        if (!chance(rng, noise / 6))
            tag("/" + name);
    }
};

struct Target {
    std::string modName;  // as the mod names it
    std::string content;  // to take search texts from
};

std::vector<std::string> searchText(Rng& rng, const std::string& content) {
    std::vector<std::string> text;
    const auto lines = splitLines(content);
    if (chance(rng, 6) || lines.empty()) {
        if (chance(rng, 50))
            text.push_back(kLines[std::size_t(pick(rng, int(kLines.size())))]);
    } else {
        const int start = pick(rng, int(lines.size()));
        const int count = 1 + pick(rng, std::min(3, int(lines.size()) - start));
        text.assign(lines.begin() + start, lines.begin() + start + count);
    }
    if (chance(rng, 4))
        text.insert(text.begin(), "");
    if (chance(rng, 4))
        text.push_back("");
    return text;
}

std::vector<std::string> actionText(Rng& rng) {
    std::vector<std::string> text;
    for (int n = pick(rng, 4); n > 0; --n) {
        text.push_back(chance(rng, 30) ? kActionLines[std::size_t(pick(rng, int(kActionLines.size())))]
                                       : kLines[std::size_t(pick(rng, int(kLines.size())))]);
    }
    return text;
}

void writeStep(ModWriter& w, const Target& target) {
    static const char* const kActions[] = {"add before", "add after", "replace"};
    Rng& rng = w.rng;
    const int shape = pick(rng, 100);
    const std::string action = kActions[pick(rng, 3)];
    if (shape < 4) {
        w.block(action, actionText(rng)); // no search for
    } else {
        w.block("search for", searchText(rng, target.content));
        if (shape < 8)
            w.block("search for", searchText(rng, target.content));
        if (shape >= 12)
            w.block(action, actionText(rng));
    }
    if (!chance(rng, 12))
        w.line("");
}

std::string nameAsWritten(Rng& rng, std::string name) {
    switch (pick(rng, 40)) {
    case 0:
        for (char& ch : name)
            if (ch == '/')
                ch = '\\';
        break;
    case 1:
        for (char& ch : name)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        break;
    case 2: return "Sources/Missing.pm";
    case 3: return "Sources/../" + name;
    case 4: return name + " ";
    default: break;
    }
    return name;
}

} // namespace

YabmodCase randomYabmodCase(std::uint32_t seed) {
    Rng rng(seed);
    YabmodCase c;
    c.name = "seed " + std::to_string(seed);
    std::vector<Target> targets;
    auto add = [&](const std::string& path, std::string bytes, std::string modName) {
        if (chance(rng, 10))
            c.files[path + ".bak"] = generatedFile(rng); // a stale backup
        c.files[path] = bytes;
        targets.push_back({std::move(modName), std::move(bytes)});
    };
    if (chance(rng, 70)) {
        const auto& real = kRealFiles[std::size_t(pick(rng, int(kRealFiles.size())))];
        add("board/" + real, readBytes(sharedDir() / "forum/yabb2" / real), real);
    }
    for (const auto& name : kGenerated) {
        if (chance(rng, 85))
            add("board/" + name, generatedFile(rng), name);
        else if (chance(rng, 30))
            c.files["board/" + name + ".bak"] = generatedFile(rng); // a backup without its file
    }
    if (chance(rng, 25))
        add("board/Sources/a.pm", generatedFile(rng), "Sources/a.pm");
    if (chance(rng, 85))
        add("html/style.css", generatedFile(rng), chance(rng, 90) ? "<html>style.css" : "<HTML>style.css");
    if (targets.empty())
        add("board/Gen.txt", generatedFile(rng), "Gen.txt");

    const int eolKind = pick(rng, 10);
    ModWriter w{rng, chance(rng, 50) ? 0 : 4 + pick(rng, 12), eolKind < 3 ? "\r\n" : "\n", eolKind == 9, {}};
    if (chance(rng, 80)) {
        w.line("<id>");
        w.line(c.name);
        w.line("</id>");
        w.line("");
    }
    if (!chance(rng, 4)) {
        for (int files = 1 + pick(rng, 3); files > 0; --files) {
            const Target& target = targets[std::size_t(pick(rng, int(targets.size())))];
            w.tag("edit file");
            w.line(target.modName.rfind("<", 0) == 0 ? target.modName : nameAsWritten(rng, target.modName));
            if (chance(rng, 4))
                w.line(targets[std::size_t(pick(rng, int(targets.size())))].modName);
            w.tag("/edit file");
            if (chance(rng, 85))
                w.line("");
            for (int steps = 1 + pick(rng, 3); steps > 0; --steps)
                writeStep(w, target);
        }
    }
    c.mod = std::move(w.out);
    if (chance(rng, 20) && !c.mod.empty() && c.mod.back() == '\n') {
        c.mod.pop_back();
        if (!c.mod.empty() && c.mod.back() == '\r')
            c.mod.pop_back();
    }
    return c;
}

} // namespace torvale::test
