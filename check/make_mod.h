// Making a mod from a forum and a changed copy of it: the steps of every
// changed file, proved by the model of YaBB's installer, and what it leaves out.
#pragma once

#include "document/mod_document.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace torvale {

// One file of the two trees: its name relative to the forum folder, with
// "/", and its bytes on each side (nothing: not on that side).
struct FilePair {
    std::string name;
    std::optional<std::string> original;
    std::optional<std::string> changed;
};

struct MakeInput {
    bool ok = false;
    std::string error;           // not ok: which path cannot be read, and why
    std::vector<FilePair> files; // in name order
};

// Two folders of the same layout, or two files. A file's name is relative to
// the forum folder: the folder itself, or for two files the nearest folder
// above the original that holds YaBB.pl or YaBB.cgi (else its bare name).
MakeInput readMakeInput(const std::filesystem::path& original,
                        const std::filesystem::path& changed);

struct MadeFile {
    enum class Status {
        Covered,  // the installer makes the changed file byte for byte
        LineEnds, // ... apart from the line ends of lineEnds
        New,      // only in the changed tree: a mod cannot make files
        Removed,  // only in the original: a mod cannot remove files
        Binary,   // a NUL byte on either side
        NotMade,  // no steps can make it; reason says why
    };
    std::string name;
    Status status = Status::Covered;
    std::size_t steps = 0; // its steps in the mod
    // Lines of the changed file, from 1, that the installer writes with other
    // line ends (the carriage returns it takes out of every line it looks
    // at, a line feed it adds to an unended last line).
    std::vector<std::size_t> lineEnds;
    std::string reason; // not covered: why, in words

    bool covered() const { return status == Status::Covered; }
};

struct MakeProperties {
    std::string id, version, info, author, homepage;
};

// The id and info of a mod made from the folders (or files) original and
// changed: the changed one's name, version 1.0; no author or homepage.
MakeProperties propertiesFor(const std::filesystem::path& original,
                             const std::filesystem::path& changed);

struct MadeMod {
    ModDocument document;
    std::string text;            // the document as saved, LF line ends
    std::vector<MadeFile> files; // every changed file, in name order
    std::size_t steps = 0;

    // Every changed text file is covered.
    bool complete() const;
};

// The mod whose install turns each original into its changed file. New files
// are named in the mod's info, for the author to ship beside it.
MadeMod makeMod(const std::vector<FilePair>& files, const MakeProperties& properties);

// About a file, e.g. "3 steps" or "not covered: binary file".
std::string describeMadeFile(const MadeFile& file);

} // namespace torvale
