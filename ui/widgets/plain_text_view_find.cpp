// PlainTextView: offsets into the whole text, and finding a text in its bytes.
#include "plain_text_view_p.h"

#include "ui/text_codec.h"

#include "document/text_search.h"

#include <algorithm>

namespace torvale {

namespace {

// The bytes at the start of a line that make units UTF-16 units.
std::size_t bytesForUnits(std::string_view line, qint64 units, TextEncoding encoding) {
    if (encoding == TextEncoding::Windows1252)
        return std::size_t(std::min<qint64>(units, qint64(line.size())));
    std::size_t bytes = 0;
    while (bytes < line.size() && units > 0) {
        const auto lead = static_cast<unsigned char>(line[bytes]);
        units -= lead >= 0xF0 ? 2 : 1;
        ++bytes;
        while (bytes < line.size() && (static_cast<unsigned char>(line[bytes]) & 0xC0) == 0x80)
            ++bytes;
    }
    return bytes;
}

} // namespace

// One pass over the text the first time an offset is asked for; the Preview
// of a large mod takes a few tens of milliseconds.
const std::vector<qint64>& PlainTextView::unitStarts() const {
    if (unitStarts_.empty() && lineCount() > 0) {
        unitStarts_.reserve(std::size_t(lineCount()));
        qint64 units = 0;
        for (int line = 0; line < lineCount(); ++line) {
            unitStarts_.push_back(units);
            units += qint64(utf16Length(lineBytes(line), encoding_));
        }
    }
    return unitStarts_;
}

qint64 PlainTextView::offsetAt(Position position, int lineBreakLength) const {
    if (lineCount() == 0)
        return 0;
    position = clamped(position);
    return unitStarts()[std::size_t(position.line)] + qint64(position.line) * lineBreakLength +
           position.column;
}

PlainTextView::Position PlainTextView::positionAtOffset(qint64 offset, int lineBreakLength) const {
    if (lineCount() == 0 || offset <= 0)
        return {};
    const std::vector<qint64>& starts = unitStarts();
    // The last line that starts at or before offset.
    int low = 0, high = lineCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (starts[std::size_t(middle)] + qint64(middle) * lineBreakLength <= offset)
            low = middle;
        else
            high = middle - 1;
    }
    const qint64 column = offset - starts[std::size_t(low)] - qint64(low) * lineBreakLength;
    return clamped({low, int(std::min<qint64>(column, lineLength(low)))});
}

std::size_t PlainTextView::byteOffset(Position position) const {
    const std::string_view line = lineBytes(position.line);
    return std::size_t(line.data() - bytes_.data()) +
           bytesForUnits(line, position.column, encoding_);
}

PlainTextView::Position PlainTextView::positionOfByte(std::size_t offset) const {
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const int line = int(next - lineStarts_.begin()) - 1;
    const std::string_view bytes = lineBytes(line);
    // An offset in the line break stands for the line's end.
    const std::size_t inLine =
        std::min(offset - std::size_t(bytes.data() - bytes_.data()), bytes.size());
    return {line, int(utf16Length(bytes.substr(0, inLine), encoding_))};
}

bool PlainTextView::find(const QString& text, Position from, Position* start, Position* end) const {
    if (lineCount() == 0)
        return false;
    // A character that the view's encoding cannot hold is nowhere in its bytes.
    const std::optional<std::string> needle = encodeTextExactly(text, encoding_);
    if (!needle)
        return false;
    const auto found = findText(bytes_, *needle, byteOffset(clamped(from)));
    if (!found)
        return false;
    *start = positionOfByte(found->begin);
    *end = positionOfByte(found->end);
    return true;
}

} // namespace torvale
