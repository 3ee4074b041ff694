// The format of a recovery copy: a few header lines, then the document
// itself, or the mod text in copies of the first kind.
#include "recovery_store.h"

#include <charconv>
#include <string>

namespace torvale {

namespace {

// Copies of the first kind hold the mod text; of the second, the document.
constexpr std::string_view kMagicText = "Torvale recovery copy 1";
constexpr std::string_view kMagic = "Torvale recovery copy 2";

std::string escapeLine(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescapeLine(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

template <class Int> bool parseInt(std::string_view text, Int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

// ---- The copy's format -----------------------------------------------------
// A few header lines, an empty line, then the document: the number of nodes,
// the five properties, and each node in display order as its level, kind and
// label form followed by its three texts. Each text is its size, a colon and
// its bytes, so that any bytes at all come back as they were.

namespace {

void putText(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
    out += '\n';
}

std::string encodeDocument(const DocumentSnapshot& doc) {
    std::size_t size = 32;
    for (const Text& text : doc.texts)
        size += text.size() + 16;
    std::string out;
    out.reserve(size + 16 * doc.nodes.size());
    out += "nodes " + std::to_string(doc.nodes.size()) + "\n";
    std::size_t next = 0;
    for (int p = 0; p < kPropertyCount; ++p)
        putText(out, doc.texts[next++].view());
    for (const DocumentSnapshot::Shape& node : doc.nodes) {
        out += std::to_string(node.level) + " " + std::to_string(node.kind) + " " +
               std::to_string(int(node.form)) + "\n";
        for (int t = 0; t < 3; ++t)
            putText(out, doc.texts[next++].view());
    }
    return out;
}

// Reads what encodeDocument wrote; none unless all of it is whole and makes
// a document of two levels, edit files on the top.
std::optional<DocumentSnapshot> decodeDocument(std::string_view rest) {
    const auto number = [&rest](char end, std::uint64_t limit, std::uint64_t& value) {
        const std::size_t at = rest.find(end);
        if (at == std::string_view::npos || !parseInt(rest.substr(0, at), value) || value > limit)
            return false;
        rest.remove_prefix(at + 1);
        return true;
    };
    DocumentSnapshot doc;
    const auto text = [&]() {
        std::uint64_t size = 0;
        if (!number(':', rest.size(), size) || rest.size() < size + 1 || rest[size] != '\n')
            return false;
        doc.texts.emplace_back(rest.substr(0, size));
        rest.remove_prefix(size + 1);
        return true;
    };
    std::uint64_t count = 0;
    if (!rest.starts_with("nodes "))
        return std::nullopt;
    rest.remove_prefix(6);
    // Each node takes at least a dozen bytes: no count claims more than there is.
    if (!number('\n', rest.size() / 12, count))
        return std::nullopt;
    for (int p = 0; p < kPropertyCount; ++p)
        if (!text())
            return std::nullopt;
    bool editFileAbove = false;
    for (std::uint64_t n = 0; n < count; ++n) {
        std::uint64_t level = 0, kind = 0, form = 0;
        if (!number(' ', 1, level) || !number(' ', akSearchAddAfter, kind) ||
            !number('\n', std::uint64_t(LabelForm::Edited), form))
            return std::nullopt;
        // Search actions alone go under an edit file.
        if (level == 1 && (!editFileAbove || kind == akEditFile))
            return std::nullopt;
        if (level == 0)
            editFileAbove = kind == akEditFile;
        doc.nodes.push_back({std::uint8_t(level), std::int32_t(kind), LabelForm(form)});
        for (int t = 0; t < 3; ++t)
            if (!text())
                return std::nullopt;
    }
    if (!rest.empty())
        return std::nullopt;
    return doc;
}

} // namespace

std::string encodeRecoveryCopy(const RecoveryCopy& copy) {
    std::string out(copy.document ? kMagic : kMagicText);
    out += "\npath ";
    out += escapeLine(copy.path);
    out += "\nencoding ";
    out += copy.encoding == TextEncoding::Utf8 ? "UTF-8" : "Windows-1252";
    out += "\nwritten " + std::to_string(copy.writtenAt);
    out += copy.lineEnds == LineEnds::Lf ? "\nlines LF" : "\nlines CRLF";
    if (copy.diskStamp)
        out += "\ndisk " + std::to_string(copy.diskStamp->modifiedNs) + " " +
               std::to_string(copy.diskStamp->size);
    out += "\n\n";
    if (copy.document)
        out += encodeDocument(*copy.document);
    else
        out += copy.text;
    return out;
}

RecoveryCopy decodeRecoveryCopy(std::string_view bytes) {
    RecoveryCopy copy;
    std::string_view rest = bytes;
    const auto nextLine = [&rest](std::string_view& line) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos)
            return false;
        line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        return true;
    };
    std::string_view line;
    bool toldLineEnds = false; // copies from before they told them
    bool whole = nextLine(line) && (line == kMagic || line == kMagicText);
    const bool ofDocument = whole && line == kMagic;
    while (whole) {
        if (!nextLine(line)) {
            whole = false;
            break;
        }
        if (line.empty())
            break;
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (key == "path") {
            copy.path = unescapeLine(value);
        } else if (key == "encoding") {
            copy.encoding = value == "UTF-8" ? TextEncoding::Utf8 : TextEncoding::Windows1252;
        } else if (key == "lines") {
            copy.lineEnds = value == "LF" ? LineEnds::Lf : LineEnds::CrLf;
            toldLineEnds = true;
        } else if (key == "written") {
            whole = parseInt(value, copy.writtenAt);
        } else if (key == "disk") {
            FileStamp stamp;
            const std::size_t gap = value.find(' ');
            whole = gap != std::string_view::npos &&
                    parseInt(value.substr(0, gap), stamp.modifiedNs) &&
                    parseInt(value.substr(gap + 1), stamp.size);
            copy.diskStamp = stamp;
        }
    }
    if (whole && ofDocument) {
        copy.document = decodeDocument(rest);
        whole = copy.document.has_value();
    }
    if (!whole) {
        copy = RecoveryCopy();
        copy.encoding = detectEncoding(bytes);
        copy.text = std::string(bytes);
        copy.lineEnds = detectLineEnds(copy.text);
        return copy;
    }
    if (!ofDocument) {
        copy.text = std::string(rest);
        if (!toldLineEnds)
            copy.lineEnds = detectLineEnds(copy.text);
    }
    return copy;
}

} // namespace torvale
