// torvale-cli: reads a mod file as the editor does and prints it as JSON or as
// the text the editor would save.
#include "document/file_io.h"
#include "document/json_dump.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

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

bool writePiece(std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Writes the assembled text. Long stretches of it that are bytes of the input
// file go from file to file inside the system where it can (standard output a
// regular file), without a trip through this process's memory.
class Output {
public:
    Output(std::string_view file, int descriptor) : file_(file), descriptor_(descriptor) {}

    bool write(std::string_view piece) {
        if (copying_ && piece.size() >= kCopyAtLeast && within(piece))
            piece.remove_prefix(copyWithinSystem(piece));
        return writePiece(piece);
    }

private:
    static constexpr std::size_t kCopyAtLeast = std::size_t(1) << 16;

    bool within(std::string_view piece) const {
        return descriptor_ >= 0 && piece.data() >= file_.data() &&
               piece.data() + piece.size() <= file_.data() + file_.size();
    }

    // How many bytes of piece went out; the rest is for writePiece, which
    // reports a real failure (a full disk) when it meets it again.
    std::size_t copyWithinSystem(std::string_view piece) {
#if defined(__linux__)
        if (std::fflush(stdout) != 0)
            return 0;
        auto offset = off64_t(piece.data() - file_.data());
        std::size_t copied = 0;
        while (copied < piece.size()) {
            const ssize_t n =
                ::copy_file_range(descriptor_, &offset, 1, nullptr, piece.size() - copied, 0);
            if (n <= 0) {
                // Output a pipe or a terminal, another file system, or an
                // input cut short: write from memory from now on.
                copying_ = false;
                break;
            }
            copied += std::size_t(n);
        }
        return copied;
#else
        (void)piece;
        copying_ = false;
        return 0;
#endif
    }

    std::string_view file_;
    int descriptor_;
    bool copying_ = true;
};

#if defined(SIGBUS) && __has_include(<unistd.h>)
// The file is mapped into memory; if another program cuts it short while it is
// read, touching the lost part raises SIGBUS. Say so instead of crashing.
extern "C" void onBusError(int) {
    static const char message[] = "torvale-cli: the file changed while it was read\n";
    [[maybe_unused]] const auto written = ::write(2, message, sizeof message - 1);
    ::_exit(2);
}
#endif

// Touches one byte of every page of the mapped file on the other core, ahead
// of the reader: the first touch of each page is what reading a mapped file
// mostly costs, and this way it overlaps with the reading itself.
std::thread prefetch(std::string_view bytes) {
    return std::thread([bytes] {
        constexpr std::size_t kPage = 4096;
        const volatile char* data = bytes.data();
        char sink = 0;
        for (std::size_t i = 0; i < bytes.size(); i += kPage)
            sink ^= data[i];
        (void)sink;
    });
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
    const bool dump = argc == 3 && std::strcmp(argv[1], "dump") == 0;
    const bool assemble = argc == 3 && std::strcmp(argv[1], "assemble") == 0;
    if (!dump && !assemble) {
        std::fputs("Usage: torvale-cli dump|assemble FILE (see torvale-cli --help)\n", stderr);
        return kExitUsage;
    }
    const char* path = argv[2];

#if defined(SIGBUS) && __has_include(<unistd.h>)
    std::signal(SIGBUS, onBusError);
#endif
    const torvale::FileBytes file =
        torvale::readFileBytes(path, torvale::kMaxModFileSize, torvale::FileAccess::Map);
    if (!file.ok) {
        std::fprintf(stderr, "torvale-cli: cannot read %s: %s\n", path, file.error.c_str());
        return kExitUnreadable;
    }
    std::thread prefetcher = prefetch(file.bytes());
    torvale::ReadOutcome outcome;
    bool written = false;
    // The texts of the document point into the file's bytes.
    torvale::ModDocument doc;
    if (dump) {
        outcome = torvale::readMod(file.content, doc);
        written = writePiece(torvale::dumpJson(doc, outcome));
    } else {
        // Assembling needs no document: the text goes out as the file is read.
        Output output(file.bytes(), file.descriptor);
        torvale::StreamedAssembly assembly = torvale::readAndAssemble(
            file.content, [&output](std::string_view piece) { return output.write(piece); });
        outcome = std::move(assembly.outcome);
        written = assembly.written;
    }
    prefetcher.join();
    written = written && std::fflush(stdout) == 0;
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
