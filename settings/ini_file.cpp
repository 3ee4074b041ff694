// TIniPlus: lookup rules, the text layout, and reading and writing the file.
#include "ini_file.h"

#include "text_compare.h"

namespace torvale {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

template <class Sections> auto findSection(Sections& sections, std::string_view name) {
    for (auto& section : sections)
        if (equalsIgnoringCase(section.name, name))
            return &section;
    return decltype(&sections.front())(nullptr);
}

} // namespace

std::string TIniPlus::Load() {
    sections_.clear();
    const FileBytes file = readFileBytes(path_, kMaxFileSize);
    if (!file.ok)
        return file.error;
    if (file.bytes().find('\0') != std::string_view::npos)
        return "It is not a text file.";
    Parse(file.bytes());
    return {};
}

WriteResult TIniPlus::UpdateFile() const {
    std::error_code ec;
    if (path_.has_parent_path())
        std::filesystem::create_directories(path_.parent_path(), ec);
    if (ec)
        return {false, ec.message() + "."};
    return writeFileAtomically(path_, Text());
}

void TIniPlus::Parse(std::string_view text) {
    sections_.clear();
    IniSection* current = nullptr;
    // Notepad on Windows starts UTF-8 files with one.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty()) {
        // CR LF, LF or a lone CR: a value never holds a line break, so what
        // was read can always be written back on one line.
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = trimmed(line);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos) {
                sections_.push_back({std::string(trimmed(line.substr(1, close - 1))), {}});
                current = &sections_.back();
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!current || equals == std::string_view::npos)
            continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        if (!key.empty())
            current->keys.emplace_back(key, trimmed(line.substr(equals + 1)));
    }
}

std::string TIniPlus::Text() const {
    std::string text;
    for (const IniSection& section : sections_) {
        text += "[" + section.name + "]\r\n";
        for (const auto& [key, value] : section.keys)
            text += key + "=" + value + "\r\n";
    }
    return text;
}

const std::string* TIniPlus::find(std::string_view section, std::string_view key) const {
    const IniSection* found = findSection(sections_, section);
    if (!found)
        return nullptr;
    for (const auto& [name, value] : found->keys)
        if (equalsIgnoringCase(name, key))
            return &value;
    return nullptr;
}

bool TIniPlus::ValueExists(std::string_view section, std::string_view key) const {
    return find(section, key) != nullptr;
}

std::string TIniPlus::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
    const std::string* value = find(section, key);
    return std::string(value ? std::string_view(*value).substr(0, kMaxValueLength) : fallback);
}

std::int32_t TIniPlus::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
    const std::string* value = find(section, key);
    if (!value)
        return fallback;
    return parseInteger(std::string_view(*value).substr(0, kMaxValueLength)).value_or(fallback);
}

bool TIniPlus::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniPlus::ReadFont(std::string_view section, std::string_view key,
                        FontDescription& font) const {
    const FontDescription entry = font;
    // The font as it was on entry comes back whole after a damaged value,
    // also when its own font string would not read back (a comma in its name).
    if (!StringToFont(ReadString(section, key, FontToString(entry)), font).empty())
        font = entry;
}

void TIniPlus::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    IniSection* target = findSection(sections_, section);
    if (!target) {
        sections_.push_back({std::string(section), {}});
        target = &sections_.back();
    }
    for (auto& [name, old] : target->keys)
        if (equalsIgnoringCase(name, key)) {
            old = value;
            return;
        }
    target->keys.emplace_back(key, value);
}

void TIniPlus::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniPlus::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniPlus::WriteFont(std::string_view section, std::string_view key,
                         const FontDescription& font) {
    WriteString(section, key, FontToString(font));
}

void TIniPlus::EraseSection(std::string_view section) {
    std::erase_if(sections_,
                  [&](const IniSection& s) { return equalsIgnoringCase(s.name, section); });
}

} // namespace torvale
