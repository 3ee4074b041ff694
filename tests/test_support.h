// Shared helpers of the core and command-line tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

// Skips the test for want of a tool, or fails it under CI (CI set), where
// every tool is installed and a skip would hide that the test never ran.
#define TORVALE_SKIP_UNLESS_CI(why)                                                            \
    do {                                                                                       \
        if (std::getenv("CI"))                                                                 \
            GTEST_FAIL() << (why) << ", and CI is set, where no test may be skipped";          \
        GTEST_SKIP() << (why);                                                                 \
    } while (false)

namespace torvale::test {

// ../shared of the project: real mods and a real forum installation.
std::filesystem::path sharedDir();
std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder under the system's temporary folder, removed again at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program with args (no shell), capturing standard output and error.
// With asUnprivileged, a process running as root drops to the user nobody
// first, so that file permissions apply to it.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         bool asUnprivileged = false);

// A random mod text built to hit the reader's shortcuts: texts that point into
// the file, line ends of every kind, tags and line breaks at every place of
// its 64-byte steps, NULs.
std::string randomMod(std::mt19937& rng);

// Joins lines with CR LF after each one, as the writer ends its lines.
std::string crlfLines(const std::vector<std::string>& lines);

} // namespace torvale::test

#include "document/mod_document.h"

namespace torvale::test {

// The sample mod of the format's description: 41 lines, the last one
// "</add after>" without a line end.
std::string sampleModText();
// The document that those lines hold, with its nodes labelled as read.
ModDocument sampleModDocument();

} // namespace torvale::test
