// TIniPlus: the settings file in the Windows profile ("ini") format, held in
// memory, read and written whole, with the editor font as one value.
#pragma once

#include "font_codec.h"

#include "document/file_io.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torvale {

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys; // key, value; in file order
};

// Sections and keys are found without regard to letter case; when a name is
// there twice the first one counts. Values are bytes, passed through as read.
class TIniPlus {
public:
    // Settings files are a few KiB; anything far larger is not one.
    static constexpr std::size_t kMaxFileSize = std::size_t(1) << 20;
    // ReadString returns at most this many bytes of a value.
    static constexpr std::size_t kMaxValueLength = 2047;

    // Names the file; nothing is read yet.
    explicit TIniPlus(std::filesystem::path path = {}) : path_(std::move(path)) {}

    const std::filesystem::path& FileName() const { return path_; }

    // Reads the file. Returns why it could not be read (it is missing, a
    // folder, too large, or not text: it holds NUL bytes), empty when it was;
    // after a failure no key is there.
    std::string Load();
    // Writes the whole file, creating its folder if needed; the old file stays
    // as it was when that fails.
    WriteResult UpdateFile() const;

    // The keys of a text in this format, its lines ended by CR LF, LF or CR;
    // a UTF-8 byte-order mark before the first line is no part of it.
    // Blanks around names and values are dropped; lines that are no section and no "key=value", and lines
    // starting with ";" or "#", are skipped.
    void Parse(std::string_view text);
    // Every section and key, one line each, lines ending in CR LF.
    std::string Text() const;
    const std::vector<IniSection>& Sections() const { return sections_; }
    void Clear() { sections_.clear(); }

    bool ValueExists(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // The value as parseInteger reads it; fallback when missing or no integer.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // Any integer but 0 is true.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
    // Sets font from the key's font string; a missing key or a value that is
    // no font string leaves font as it was.
    void ReadFont(std::string_view section, std::string_view key, FontDescription& font) const;

    // Overwrites the key, or adds it at the end of its section, or adds the
    // section at the end. A value ends before its first line break, which
    // would otherwise start a line of its own, and before a NUL byte, which
    // would make the whole file unreadable.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void WriteFont(std::string_view section, std::string_view key, const FontDescription& font);
    void EraseSection(std::string_view section);
    // Replaces every section at once; a caller building many keys does so in
    // one pass instead of looking each one up.
    void SetSections(std::vector<IniSection> sections) { sections_ = std::move(sections); }

private:
    const std::string* find(std::string_view section, std::string_view key) const;

    std::filesystem::path path_;
    std::vector<IniSection> sections_;
};

} // namespace torvale
