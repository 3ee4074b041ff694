// Conversion between the document's byte texts and the strings the widgets show.
#pragma once

#include "document/text_encoding.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace torvale {

// Bytes to display text. CR LF, and a lone CR or LF, become '\n', the line
// break of Qt's text widgets.
QString decodeText(std::string_view bytes, TextEncoding encoding);

// A line of a file as a report shows it: cut short after shown characters,
// blanks at its ends kept visible by the quotes.
QString quotedLine(std::string_view line, TextEncoding encoding, int shown);

// Display text to bytes. Every line break ('\n', '\r', CR LF, or the paragraph separator of
// a text document) becomes CR LF, the line end of mod files. Characters that the
// encoding cannot hold become '?'.
std::string encodeText(const QString& text, TextEncoding encoding);

// As encodeText, but nothing when a character cannot be held: one that
// Windows-1252 lacks, or half of a surrogate pair.
std::optional<std::string> encodeTextExactly(const QString& text, TextEncoding encoding);

// The characters of text that the encoding cannot hold, each once, in order.
QStringList unencodableCharacters(const QString& text, TextEncoding encoding);

// The text of a text field with its line breaks as '\n' and every other
// character as typed (toPlainText would turn non-breaking spaces into spaces).
QString editorText(const QPlainTextEdit* field);

} // namespace torvale
