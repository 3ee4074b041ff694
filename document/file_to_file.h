// Fast passage of a mapped file through a short-lived program: its pages read
// ahead on another core, and its unchanged stretches copied on file to file.
#pragma once

#include "file_io.h"

#include <cstdio>
#include <string_view>
#include <thread>

namespace torvale {

// Touches one byte of every page of mapped bytes on another core, ahead of the
// reader: the first touch of each page is what reading a mapped file mostly
// costs, and this way it overlaps with the reading itself. The bytes must stay
// mapped while it lives.
class ReadAhead {
public:
    explicit ReadAhead(std::string_view bytes);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

private:
    std::thread thread_;
};

// A mapped file that another program cuts short while it is read raises
// SIGBUS where the lost part is touched. From this call on that writes message
// to standard error and ends the process with status, instead of a crash.
// message must live as long as the process.
void exitWhenMappedFileShrinks(const char* message, int status);

// Writes to out. Long pieces that are stretches of the input file go from file
// to file inside the system where it can (out a regular file, the input
// mapped), without a trip through this process's memory; everything else, and
// everything once that fails, is written from memory.
class FileToFileWriter {
public:
    FileToFileWriter(std::FILE* out, const FileBytes& input);

    // False when the piece could not be written (for example a full disk).
    bool write(std::string_view piece);
    // Writes what is buffered; false when that fails.
    bool finish();

private:
    bool within(std::string_view piece) const;
    std::size_t copyWithinSystem(std::string_view piece);

    std::FILE* out_;
    std::string_view input_;
    int descriptor_;
    bool copying_;
};

} // namespace torvale
