// Turns a program's --help text into its manual page, so that the two are one text and
// cannot drift apart. Runs at build time on the output of the program just built.
//
//   help_to_man HELP-FILE OUT-FILE NAME VERSION SUMMARY [SEE-ALSO...]
//
// The help text follows one layout: "Usage: NAME ARGS", then the description; a line at the
// left edge ending in ":" starts a section; an indented "TAG  text" line is an entry (or
// a TAG alone, among entries, when its text follows set in deeper), and a line indented
// deeper continues it; any other line is running text.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Everything troff would read as markup is spelled out: the backslash, and the quote and
// minus that it would otherwise print as typographic characters (a "--help" copied from the
// page must still work). A line starting with a dot is guarded so it is not a request.
std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\e";
            break;
        case '-':
            out += "\\-";
            break;
        case '\'':
            out += "\\(aq";
            break;
        case '`':
            out += "\\(ga";
            break;
        default:
            out += c;
        }
    }
    if (!out.empty() && out[0] == '.')
        out.insert(0, "\\&");
    return out;
}

std::string upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::size_t indentOf(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? line.size() : first;
}

bool isHeading(const std::string& line) {
    return !line.empty() && line[0] != ' ' && line.back() == ':' &&
           line.find(". ") == std::string::npos;
}

// "dump FILE" becomes the command in bold and its arguments in italics.
std::string tag(const std::string& text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string::npos)
        return "\\fB" + escape(text) + "\\fR";
    return "\\fB" + escape(text.substr(0, blank)) + "\\fR \\fI" + escape(text.substr(blank + 1)) +
           "\\fR";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::cerr << "usage: help_to_man HELP-FILE OUT-FILE NAME VERSION SUMMARY [SEE-ALSO...]\n";
        return 64;
    }
    std::ifstream in(argv[1]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const std::string name = argv[3];
    const std::string usage = "Usage: " + name;
    if (!in.eof() || lines.empty() || lines[0].rfind(usage, 0) != 0) {
        std::cerr << "help_to_man: " << argv[1] << " does not start with \"" << usage << "\"\n";
        return 1;
    }

    std::ostringstream page;
    page << ".\\\" Made from the output of " << name << " --help; change that text instead.\n"
         << ".TH " << escape(upper(name)) << " 1 \"\" \"Torvale " << argv[4]
         << "\" \"User Commands\"\n"
         << ".nh\n.ad l\n"
         << ".SH NAME\n"
         << escape(name) << " \\- " << escape(argv[5]) << "\n"
         << ".SH SYNOPSIS\n\\fB" << escape(name) << "\\fR" << escape(lines[0].substr(usage.size()))
         << "\n.SH DESCRIPTION\n";

    constexpr std::size_t none = std::string::npos;
    std::size_t entryIndent = none; // of the entries in the current section
    std::size_t bodyColumn = none;  // where the text of the current entry starts
    bool paragraph = false;         // a blank line came before this one
    bool verbatim = false;          // inside lines kept as they are
    auto endVerbatim = [&] {
        if (verbatim)
            page << ".fi\n";
        verbatim = false;
    };
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t indent = indentOf(line);
        if (indent == line.size()) {
            paragraph = true;
            continue;
        }
        const std::string text = line.substr(indent);
        if (isHeading(line)) {
            endVerbatim();
            page << ".SH " << escape(upper(text.substr(0, text.size() - 1))) << "\n";
            entryIndent = bodyColumn = none;
        } else if (indent > 0 && (entryIndent == none || indent <= entryIndent) &&
                   (text.find("  ") != none ||
                    // A tag too long to share its line: its text follows, set in.
                    (entryIndent != none && i + 1 < lines.size() &&
                     indentOf(lines[i + 1]) > indent &&
                     indentOf(lines[i + 1]) < lines[i + 1].size()))) {
            endVerbatim();
            entryIndent = indent;
            const std::size_t gap = std::min(text.find("  "), text.size());
            const std::size_t body = text.find_first_not_of(' ', gap);
            page << ".TP\n" << tag(text.substr(0, gap)) << "\n";
            bodyColumn = body == none ? none : indent + body;
            if (body != none)
                page << escape(text.substr(body)) << "\n";
        } else if (entryIndent != none && indent > entryIndent) {
            // An entry's text goes on; lines set in deeper than it (a JSON layout) keep
            // their lines and their extra indentation.
            if (bodyColumn == none)
                bodyColumn = indent;
            if (indent > bodyColumn && !verbatim) {
                page << ".nf\n";
                verbatim = true;
            } else if (indent <= bodyColumn) {
                endVerbatim();
            }
            page << (verbatim ? std::string(indent - bodyColumn, ' ') : "") << escape(text) << "\n";
        } else {
            endVerbatim();
            if (paragraph || entryIndent != none)
                page << ".PP\n";
            entryIndent = bodyColumn = none;
            page << escape(text) << "\n";
        }
        paragraph = false;
    }
    endVerbatim();

    if (argc > 6) {
        page << ".SH SEE ALSO\n";
        for (int i = 6; i < argc; ++i)
            page << ".BR " << escape(argv[i]) << " (1)" << (i + 1 < argc ? "," : "") << "\n";
    }

    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    out.close();
    if (!out) {
        std::cerr << "help_to_man: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
