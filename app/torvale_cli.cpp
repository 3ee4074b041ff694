// torvale-cli: reads a mod file as the editor does and prints it as JSON or as
// the text the editor would save, or tests it against a forum installation.
#include "cli_make.h"

#include "app/allocator.h"
#include "check/check_json.h"
#include "check/mod_check.h"
#include "check/port_mod.h"
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
  check [--forum SCRIPT] [--html DIR] [--diff] [--keep-going] [--uninstall]
        [--json] FILE
                 Test the mod against the forum whose YaBB.pl or YaBB.cgi is
                 SCRIPT as YaBB 2.7's installer would install it, in memory:
                 the file's bytes read by the installer's own rules (tags only
                 at the start of a line, the line after a closing tag never
                 read, ...), each file opened as it opens it (names with
                 "<html>" in DIR, or in the $htmldir of the forum's Paths.pm;
                 letter case counts), each search text looked for as a run of
                 whole lines from the top of the file as the steps before left
                 it (carriage returns left out), and the file written as it
                 writes it. Prints whether the installer would install the mod
                 or where it stops, each file and each step under it with its
                 line in the mod: found at a line (and the line on disk), found
                 again further on (the installer takes the first), not found
                 (and why: blanks, letter case, empty lines, with the nearest
                 place of its lines and how they differ), file missing,
                 not reached (the installer stops at the first failure and
                 copies the files back from their backups); then warnings and
                 the places where the editor reads the mod otherwise than the
                 installer. With --diff, standard output gets a unified diff of
                 each file the install changes, with names relative to the
                 forum script's folder ("patch -p1" applies it there), and the
                 report goes to standard error; a mod that fails gives no diff
                 unless --keep-going, which skips the failing steps. With
                 --uninstall the mod is also uninstalled from the installed
                 files, and the report says whether every file comes back
                 byte for byte. Nothing is written to the forum's files.
                 With --json the whole report is one JSON object instead:
                   {"installs": true|false, "tested", "not_a_mod",
                    "stop": null|"<why the installer stops>",
                    "failed_step": N|null, "files": [FILE, ...],
                    "steps": [STEP, ...], "warnings": [NOTE, ...],
                    "reading": [NOTE, ...], "uninstall": null|
                    {"restores": true|false, "problems": ["...", ...]}}
                 FILE is {"file", "mod_line", "status", "reason"}, status
                 "changed", "not changed", "file missing", "not tested" or
                 "not reached". STEP is {"step" (its number, from 1),
                 "mod_line", "file", "status", "line", "again", "first_line",
                 "reason", "nearest"}; status is "found", "found again",
                 "not found", "file missing", "not reached", "not tested"
                 (rarely "no action"); "line" is where it is found (from 1,
                 in the file as the steps before left it; also for a step
                 not reached that would be found past the failures), "again"
                 the next place of the same lines, else null. "nearest", for
                 a step not found (or not reached and not found) when any
                 line resembles its search text, else null, is {"first",
                 "last" (lines from 1 of the file as the steps before left
                 it), "similarity" (0 to 1), "only" (null, or what alone
                 differs: "blanks at line ends", "blanks and tabs", "letter
                 case", "blanks, tabs and letter case"), "other": null|
                 {"first", "last", "similarity"} (the best place apart from
                 it), "ambiguous" (the other is about as good), "lines":
                 [{"kind": "same"|"changed"|"added"|"removed", "search_line",
                 "line", "search_text", "text"}, ...]}. NOTE is {"mod_line"
                 (null for the whole mod), "text"}. Strings are escaped as
                 for dump.
  port --forum SCRIPT [--html DIR] [-o OUT] FILE
                 Write the mod with each search text that is not found
                 replaced by the file's lines at its nearest place, where
                 that place is clearly the best: a similarity of at least
                 0.60 and every other place at least 0.10 lower. Other steps
                 are left as they are; every byte but the replaced lines is
                 kept, and the lines put in end as the mod's lines end. The
                 mod goes to OUT (replaced only when all of it is written),
                 or to standard output; the list of the steps changed and
                 left, with the reasons, to standard error (to standard
                 output with -o). Exit status 0 when the ported mod passes
                 the check, 1 otherwise.
  make ORIGINAL CHANGED [-o FILE]
                 Make the mod whose install turns ORIGINAL into CHANGED: two
                 folders of the same layout (a forum and its changed copy) or
                 two files. Each changed place of a file becomes one step in
                 file order (add after or add before for lines put in, replace
                 for lines changed or removed; close places may share one),
                 searching for the shortest run of whole lines that YaBB's
                 installer finds once, at that place, in the file as the steps
                 before left it. Files are named relative to ORIGINAL (for two
                 files: to the folder above that holds YaBB.pl or YaBB.cgi).
                 Every file's steps are proved by installing them with the
                 model of the installer that check uses. The mod (LF line
                 ends) goes to FILE (replaced only when all of it is written)
                 or to standard output; standard error gets each changed file
                 with its number of steps, or why it is not covered: a new or
                 removed file (named in the mod's info, to ship or remove by
                 hand), a binary file, or line ends the installer would write
                 otherwise (the carriage returns it takes out of every line it
                 searches, with the lines of CHANGED that it touches; the
                 steps are in the mod all the same). Exit status 0 when every
                 changed text file is covered, 1 when some are not (the mod
                 is still written), 2 when ORIGINAL or CHANGED cannot be read.
  --help         Show this text.
  --version      Show the version number.

Exit status:
  0   the file was read completely; for check: the installer would install
      the mod (and, with --uninstall, uninstall it leaving every file as it was)
  1   the read stopped (a block whose closing tag is missing, or blocks that
      add up to more than 256 MiB of text); the output of the document as read
      is still written, and the reason goes to standard error; for check: the
      installer would not install it, it was not tested, the uninstall would
      not restore every file, or FILE is not a mod
  2   the file cannot be read (missing, a folder, no permission, larger than
      256 MiB); the reason goes to standard error, nothing to standard output;
      for check also: SCRIPT or a forum file cannot be read
  64  wrong usage
  74  the output could not be written (for example a full disk)
)";

constexpr const char* kUsage =
    "Usage: torvale-cli dump|assemble FILE, or torvale-cli check [--forum SCRIPT] [--html DIR]"
    " [--diff] [--keep-going] [--uninstall] [--json] FILE, or torvale-cli port --forum SCRIPT"
    " [--html DIR] [-o OUT] FILE, or torvale-cli make ORIGINAL CHANGED [-o FILE]"
    " (see torvale-cli --help)\n";

// check [--forum SCRIPT] [--html DIR] [--diff] [--keep-going] [--uninstall] FILE
int check(int argc, char** argv) {
    const char* script = nullptr;
    const char* html = nullptr;
    const char* path = nullptr;
    bool diff = false, keepGoing = false, uninstall = false, json = false;
    bool wrong = false;
    for (int i = 0; i < argc && !wrong; ++i) {
        if (std::strcmp(argv[i], "--json") == 0 && !json)
            json = true;
        else if (std::strcmp(argv[i], "--forum") == 0 && i + 1 < argc && !script)
            script = argv[++i];
        else if (std::strcmp(argv[i], "--html") == 0 && i + 1 < argc && !html)
            html = argv[++i];
        else if (std::strcmp(argv[i], "--diff") == 0 && !diff)
            diff = true;
        else if (std::strcmp(argv[i], "--keep-going") == 0 && !keepGoing)
            keepGoing = true;
        else if (std::strcmp(argv[i], "--uninstall") == 0 && !uninstall)
            uninstall = true;
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
    options.keepGoing = keepGoing;
    options.uninstall = uninstall;
    if (html)
        options.htmlDirectory = std::filesystem::absolute(html).lexically_normal().string();
    if (script) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(script, ec)) {
            std::fprintf(stderr, "torvale-cli: the forum script %s is not a file\n", script);
            return kExitUnreadable;
        }
        // The installer works with whole paths; so does the check.
        options.forumDirectory =
            std::filesystem::absolute(script).lexically_normal().parent_path().string();
    }
    const torvale::FileBytes file = torvale::readFileBytes(path, torvale::kMaxModFileSize);
    if (!file.ok) {
        std::fprintf(stderr, "torvale-cli: cannot read %s: %s\n", path, file.error.c_str());
        return kExitUnreadable;
    }
    const torvale::CheckReport report = torvale::checkMod(file.content.bytes, options);
    if (report.notAMod)
        std::fprintf(stderr, "torvale-cli: %s: %s\n", path, report.stopMessage.c_str());
    // With --diff the patch goes to standard output, whole, and the words aside.
    std::FILE* words = diff ? stderr : stdout;
    const std::string text = json ? torvale::reportJson(report) : torvale::formatReport(report);
    bool written = std::fwrite(text.data(), 1, text.size(), words) == text.size();
    const bool stopped = report.end != torvale::yabmod::Run::End::Done;
    if (diff && stopped && report.tested && !keepGoing)
        std::fputs("torvale-cli: no diff: the installer would stop and change nothing it can "
                   "restore (--keep-going shows the diff with the failing steps skipped)\n",
                   stderr);
    for (const torvale::FileCheck& f : report.files)
        written = written && std::fwrite(f.diff.data(), 1, f.diff.size(), stdout) == f.diff.size();
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "torvale-cli: cannot write the output: %s\n", std::strerror(errno));
        return kExitCannotWrite;
    }
    const bool restores = !report.uninstall || report.uninstall->restores;
    return report.passes() && restores ? kExitComplete : kExitStopped;
}

// port --forum SCRIPT [--html DIR] [-o OUT] FILE
int port(int argc, char** argv) {
    const char* script = nullptr;
    const char* html = nullptr;
    const char* out = nullptr;
    const char* path = nullptr;
    bool wrong = false;
    for (int i = 0; i < argc && !wrong; ++i) {
        if (std::strcmp(argv[i], "--forum") == 0 && i + 1 < argc && !script)
            script = argv[++i];
        else if (std::strcmp(argv[i], "--html") == 0 && i + 1 < argc && !html)
            html = argv[++i];
        else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc && !out)
            out = argv[++i];
        else if (!path && argv[i][0] != '-')
            path = argv[i];
        else
            wrong = true;
    }
    if (wrong || !path || !script) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    torvale::CheckOptions options;
    if (html)
        options.htmlDirectory = std::filesystem::absolute(html).lexically_normal().string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(script, ec)) {
        std::fprintf(stderr, "torvale-cli: the forum script %s is not a file\n", script);
        return kExitUnreadable;
    }
    options.forumDirectory = std::filesystem::absolute(script).lexically_normal().parent_path().string();
    const torvale::FileBytes file = torvale::readFileBytes(path, torvale::kMaxModFileSize);
    if (!file.ok) {
        std::fprintf(stderr, "torvale-cli: cannot read %s: %s\n", path, file.error.c_str());
        return kExitUnreadable;
    }
    const torvale::PortResult result = torvale::portMod(file.content.bytes, options);
    if (result.report.notAMod) {
        std::fprintf(stderr, "torvale-cli: %s: %s\n", path, result.report.stopMessage.c_str());
        return kExitStopped;
    }
    const std::string words = torvale::formatPort(result);
    bool written = true;
    if (out) {
        const torvale::WriteResult w = torvale::writeFileAtomically(out, result.mod);
        if (!w.ok) {
            std::fprintf(stderr, "torvale-cli: cannot write %s: %s\n", out, w.error.c_str());
            return kExitCannotWrite;
        }
        written = std::fwrite(words.data(), 1, words.size(), stdout) == words.size();
    } else {
        std::fputs(words.c_str(), stderr);
        written = std::fwrite(result.mod.data(), 1, result.mod.size(), stdout) == result.mod.size();
    }
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "torvale-cli: cannot write the output: %s\n", std::strerror(errno));
        return kExitCannotWrite;
    }
    return result.report.passes() ? kExitComplete : kExitStopped;
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
    torvale::keepFreedMemoryForReuse();
    if (argc >= 2 && std::strcmp(argv[1], "check") == 0)
        return check(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "port") == 0)
        return port(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0)
        return makeCommand(argc - 2, argv + 2);
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
