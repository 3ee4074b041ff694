// torvale-cli: reads a mod file as the editor does and prints it as JSON or as
// the text the editor would save.
#include "document/file_io.h"
#include "document/file_to_file.h"
#include "document/json_dump.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
                    "nodes": [NODE, ...], "selected": INDEX|null}
                 NODE is {"kind": 0..3, "label", "file", "search", "action",
                 "children": [NODE, ...]}; kind 0 is an edit-file node, 1 search
                 and replace, 2 search and add before, 3 search and add after.
                 "selected" is the index in "nodes" of the node selected after
                 the read (the last edit-file node), or null. Strings escape
                 '"' and '\' with a backslash, and write every byte below 0x20,
                 the byte 0x7F and every byte from 0x80 up as \u00XX, so the
                 output is ASCII and gives back the exact bytes.
  assemble FILE  Write the mod text the editor would save for the document,
                 byte for byte, to standard output.
  --help         Show this text.
  --version      Show the version number.

Exit status:
  0   the file was read completely
  1   the read stopped (a block whose closing tag is missing, or blocks that
      add up to more than 256 MiB of text); the output of the document as read
      is still written, and the reason goes to standard error
  2   the file cannot be read (missing, a folder, no permission, larger than
      256 MiB); the reason goes to standard error, nothing to standard output
  64  wrong usage
  74  the output could not be written (for example a full disk)
)";

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
    const bool dump = argc == 3 && std::strcmp(argv[1], "dump") == 0;
    const bool assemble = argc == 3 && std::strcmp(argv[1], "assemble") == 0;
    if (!dump && !assemble) {
        std::fputs("Usage: torvale-cli dump|assemble FILE (see torvale-cli --help)\n", stderr);
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
        outcome = torvale::readMod(file.content, doc);
        written = write(torvale::dumpJson(doc, outcome));
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
