// torvale-cli: reads a mod file as the editor does and prints it as JSON or as
// the text the editor would save, or tests it against a forum installation.
#include "check/mod_check.h"
#include "document/file_io.h"
#include "document/file_to_file.h"
#include "document/json_dump.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/read_findings.h"
#include "forum/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kExitComplete = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUnreadable = 2;
constexpr int kExitUsage = 64;
constexpr int kExitCannotWrite = 74;

constexpr const char* kHelp =
    R"(Usage: torvale-cli COMMAND FILE
Reads the mod file FILE with the same reader as the Torvale editor.

Commands:
  dump FILE      Print the document as one JSON object:
                   {"complete": true|false, "error": null|"<message>",
                    "properties": {"id", "version", "info", "author", "homepage"},
                    "nodes": [NODE, ...], "selected": INDEX|null,
                    "findings": [FINDING, ...]}
                 NODE is {"kind": 0..3, "label", "file", "search", "action",
                 "children": [NODE, ...]}; kind 0 is an edit-file node, 1 search
                 and replace, 2 search and add before, 3 search and add after.
                 "selected" is the index in "nodes" of the node selected after
                 the read (the last edit-file node), or null. FINDING is
                 {"kind", "line", "text"}: content of the file that the reading
                 rules drop or join, so that saving the document would lose it,
                 at that line (counted from 1; "text" is the line, at most 200
                 bytes). Kinds: text-beside-tag, one-line-block,
                 text-outside-blocks, tag-inside-block, search-without-action,
                 searches-joined, property-joined, property-lines-joined,
                 file-name-lines, leading-empty-lines, no-mod-tags, nul-byte.
                 Strings escape '"' and '\' with a backslash, and write every
                 byte below 0x20, the byte 0x7F and every byte from 0x80 up as
                 \u00XX, so the output is ASCII and gives back the exact bytes.
  assemble FILE  Write the mod text the editor would save for the document,
                 byte for byte, to standard output. It keeps the line ends of
                 FILE, told by its first line break: LF alone gives LF, CR LF
                 or a lone CR gives CR LF; a file without any gives LF.
  check [--forum SCRIPT] [--diff] FILE
                 Test the mod against the forum whose YaBB.pl or YaBB.cgi is
                 SCRIPT, as its installer would apply it, in memory: each
                 search text is looked for as a run of whole lines of the file
                 its edit-file block names (carriage returns left out, one final
                 line break ignored), from the top of the file as the steps
                 before left it; then its lines are replaced, or the action's
                 lines added before or after them. Prints each file (changed or
                 not, or missing) and each step under it: found at a line, found
                 at a line and again further on (the installer takes the first),
                 or not found. Without --forum every step reports that no forum
                 script is configured. With --diff, standard output gets a
                 unified diff of each changed file, with names relative to the
                 forum script's folder ("patch -p1" applies it there), and the
                 report goes to standard error. Nothing is written to the
                 forum's files.
  --help         Show this text.
  --version      Show the version number.

Exit status:
  0   the file was read completely; for check: every step was found
  1   the read stopped (a block whose closing tag is missing, or blocks that
      add up to more than 256 MiB of text); the output of the document as read
      is still written, and the reason goes to standard error; for check: a
      step was not found or not tested, or FILE holds no mod tag at all
  2   the file cannot be read (missing, a folder, no permission, larger than
      256 MiB); the reason goes to standard error, nothing to standard output;
      for check also: SCRIPT or a forum file cannot be read
  64  wrong usage
  74  the output could not be written (for example a full disk)
)";

constexpr const char* kUsage =
    "Usage: torvale-cli dump|assemble FILE, or torvale-cli check [--forum SCRIPT] [--diff] FILE"
    " (see torvale-cli --help)\n";

// check [--forum SCRIPT] [--diff] FILE
int check(int argc, char** argv) {
    const char* script = nullptr;
    const char* path = nullptr;
    bool diff = false;
    bool wrong = false;
    for (int i = 0; i < argc && !wrong; ++i) {
        if (std::strcmp(argv[i], "--forum") == 0 && i + 1 < argc && !script)
            script = argv[++i];
        else if (std::strcmp(argv[i], "--diff") == 0 && !diff)
            diff = true;
        else if (!path && argv[i][0] != '-')
            path = argv[i];
        else
            wrong = true;
    }
    if (wrong || !path) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    torvale::CheckOptions options;
    options.diffs = diff;
    if (script) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(script, ec)) {
            std::fprintf(stderr, "torvale-cli: the forum script %s is not a file\n", script);
            return kExitUnreadable;
        }
        options.forumDirectory = torvale::forumScriptDirectory(script);
        if (options.forumDirectory.empty())
            options.forumDirectory = "./"; // a script in the current folder
    }
    const torvale::FileBytes file = torvale::readFileBytes(path, torvale::kMaxModFileSize);
    if (!file.ok) {
        std::fprintf(stderr, "torvale-cli: cannot read %s: %s\n", path, file.error.c_str());
        return kExitUnreadable;
    }
    torvale::ModDocument doc;
    std::vector<torvale::Finding> findings;
    const torvale::ReadOutcome outcome = torvale::readMod(file.content, doc, findings);
    if (!outcome.complete())
        std::fprintf(stderr, "torvale-cli: %s: %s\n", path, outcome.message.c_str());
    // An image or a script has no steps, all of them found: not a pass.
    const bool notAMod =
        !findings.empty() && findings.front().kind == torvale::FindingKind::NoModTags;
    if (notAMod)
        std::fprintf(stderr, "torvale-cli: %s holds no mod tags: it is not a mod file\n", path);
    const torvale::CheckReport report = torvale::checkMod(doc, options);
    // With --diff the patch goes to standard output, whole, and the words aside.
    std::FILE* words = diff ? stderr : stdout;
    const std::string text = torvale::formatReport(report);
    bool written = std::fwrite(text.data(), 1, text.size(), words) == text.size();
    for (const torvale::FileCheck& f : report.files)
        written = written && std::fwrite(f.diff.data(), 1, f.diff.size(), stdout) == f.diff.size();
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "torvale-cli: cannot write the output: %s\n", std::strerror(errno));
        return kExitCannotWrite;
    }
    if (report.anyUnreadable())
        return kExitUnreadable;
    return report.allFound() && outcome.complete() && !notAMod ? kExitComplete : kExitStopped;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return kExitComplete;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("torvale-cli " TORVALE_VERSION);
        return kExitComplete;
    }
    if (argc >= 2 && std::strcmp(argv[1], "check") == 0)
        return check(argc - 2, argv + 2);
    const bool dump = argc == 3 && std::strcmp(argv[1], "dump") == 0;
    const bool assemble = argc == 3 && std::strcmp(argv[1], "assemble") == 0;
    if (!dump && !assemble) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const char* path = argv[2];

    torvale::exitWhenMappedFileShrinks("torvale-cli: the file changed while it was read\n",
                                       kExitUnreadable);
    const torvale::FileBytes file =
        torvale::readFileBytes(path, torvale::kMaxModFileSize, torvale::FileAccess::Map);
    if (!file.ok) {
        std::fprintf(stderr, "torvale-cli: cannot read %s: %s\n", path, file.error.c_str());
        return kExitUnreadable;
    }
    const torvale::ReadAhead readAhead(file.bytes());
    torvale::FileToFileWriter output(stdout, file);
    const auto write = [&output](std::string_view piece) { return output.write(piece); };
    torvale::ReadOutcome outcome;
    bool written = false;
    // The texts of the document point into the file's bytes.
    torvale::ModDocument doc;
    if (dump) {
        std::vector<torvale::Finding> findings;
        outcome = torvale::readMod(file.content, doc, findings);
        written = write(torvale::dumpJson(doc, outcome, findings));
    } else {
        // Assembling needs no document: the text goes out as the file is read.
        torvale::StreamedAssembly assembly = torvale::readAndAssemble(file.content, write);
        outcome = std::move(assembly.outcome);
        written = assembly.written;
    }
    written = written && output.finish();
    if (!written) {
        std::fprintf(stderr, "torvale-cli: cannot write the output: %s\n", std::strerror(errno));
        return kExitCannotWrite;
    }
    int status = kExitComplete;
    if (!outcome.complete()) {
        std::fprintf(stderr, "torvale-cli: %s: %s\n", path, outcome.message.c_str());
        status = kExitStopped;
    }
    // Everything is written; taking the document apart node by node would
    // only cost time the system saves by dropping the process's memory whole.
    std::fflush(stderr);
    std::_Exit(status);
}
