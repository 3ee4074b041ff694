// Read-ahead of a mapped file, the guard against its being cut short, and the
// writer that copies its stretches file to file (copy_file_range on Linux).
#include "file_to_file.h"

#include <csignal>
#include <cstring>

#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

namespace torvale {

namespace {

// Pieces shorter than this go through memory: a system call per piece would
// cost more than the copy.
constexpr std::size_t kCopyAtLeast = std::size_t(1) << 16;

#if defined(SIGBUS) && __has_include(<unistd.h>)
// Set before the handler is installed, only read by it.
const char* busMessage = "";
std::size_t busMessageSize = 0;
int busStatus = 1;

extern "C" void onBusError(int) {
    [[maybe_unused]] const auto written = ::write(2, busMessage, busMessageSize);
    ::_exit(busStatus);
}
#endif

} // namespace

ReadAhead::ReadAhead(std::string_view bytes)
    : thread_([bytes] {
          constexpr std::size_t kPage = 4096;
          const volatile char* data = bytes.data();
          char sink = 0;
          for (std::size_t i = 0; i < bytes.size(); i += kPage)
              sink ^= data[i];
          (void)sink;
      }) {}

ReadAhead::~ReadAhead() {
    if (thread_.joinable())
        thread_.join();
}

void exitWhenMappedFileShrinks(const char* message, int status) {
#if defined(SIGBUS) && __has_include(<unistd.h>)
    busMessage = message;
    busMessageSize = std::strlen(message);
    busStatus = status;
    std::signal(SIGBUS, onBusError);
#else
    (void)message;
    (void)status;
#endif
}

FileToFileWriter::FileToFileWriter(std::FILE* out, const FileBytes& input)
    : out_(out), input_(input.bytes()), descriptor_(input.descriptor),
      copying_(input.descriptor >= 0) {}

bool FileToFileWriter::write(std::string_view piece) {
    if (copying_ && piece.size() >= kCopyAtLeast && within(piece))
        piece.remove_prefix(copyWithinSystem(piece));
    return std::fwrite(piece.data(), 1, piece.size(), out_) == piece.size();
}

bool FileToFileWriter::finish() {
    return std::fflush(out_) == 0;
}

bool FileToFileWriter::within(std::string_view piece) const {
    return piece.data() >= input_.data() &&
           piece.data() + piece.size() <= input_.data() + input_.size();
}

// How many bytes of piece went out; the rest is for fwrite, which reports a
// real failure (a full disk) when it meets it again.
std::size_t FileToFileWriter::copyWithinSystem(std::string_view piece) {
#if defined(__linux__)
    // What is buffered goes first, to keep the order of the output.
    if (std::fflush(out_) != 0)
        return 0;
    auto offset = off64_t(piece.data() - input_.data());
    std::size_t copied = 0;
    while (copied < piece.size()) {
        const ssize_t n = ::copy_file_range(descriptor_, &offset, ::fileno(out_), nullptr,
                                            piece.size() - copied, 0);
        if (n <= 0) {
            // Output a pipe or a terminal, another file system, or an input
            // cut short: write from memory from now on.
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

} // namespace torvale
