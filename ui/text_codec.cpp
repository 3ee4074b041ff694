#include "text_codec.h"

#include <QPlainTextEdit>
#include <QTextDocument>

namespace torvale {

namespace {

// Qt's text widgets hold one '\n' per line break. One pass: QString::replace
// on a text of tens of megabytes takes over a second.
QString normaliseBreaks(QString text) {
    const qsizetype firstCr = text.indexOf(u'\r');
    if (firstCr < 0)
        return text;
    QChar* data = text.data();
    const qsizetype size = text.size();
    qsizetype out = firstCr;
    for (qsizetype in = firstCr; in < size; ++in) {
        if (data[in] == u'\r') {
            data[out++] = u'\n';
            if (in + 1 < size && data[in + 1] == u'\n')
                ++in;
        } else {
            data[out++] = data[in];
        }
    }
    text.truncate(out);
    return text;
}

} // namespace

QString quotedLine(std::string_view line, TextEncoding encoding, int shown) {
    QString text = decodeText(line, encoding);
    if (text.size() > shown)
        text = text.left(shown) + QChar(0x2026);
    return QStringLiteral("\u201C%1\u201D").arg(text);
}

QString decodeText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8)
        return normaliseBreaks(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* dst = out.data();
    for (unsigned char c : bytes)
        *dst++ = QChar(windows1252ToUnicode(c));
    return normaliseBreaks(std::move(out));
}

namespace {

// Whether the encoding holds the UTF-16 unit at i as it is.
bool holds(const QString& text, qsizetype i, TextEncoding encoding) {
    const QChar c = text[i];
    if (encoding == TextEncoding::Windows1252)
        return unicodeToWindows1252(c.unicode()) >= 0;
    if (c.isHighSurrogate())
        return i + 1 < text.size() && text[i + 1].isLowSurrogate();
    if (c.isLowSurrogate())
        return i > 0 && text[i - 1].isHighSurrogate();
    return true;
}

bool holdsAll(const QString& text, TextEncoding encoding) {
    // Mod texts are mostly ASCII, which both encodings hold.
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].unicode() >= 0x80 && !holds(text, i, encoding))
            return false;
    return true;
}

} // namespace

std::optional<std::string> encodeTextExactly(const QString& text, TextEncoding encoding) {
    if (!holdsAll(text, encoding))
        return std::nullopt;
    return encodeText(text, encoding);
}

QStringList unencodableCharacters(const QString& text, TextEncoding encoding) {
    QStringList found;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() < 0x80 || holds(text, i, encoding))
            continue;
        // A surrogate pair is one character.
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QString character = text.mid(i, pair ? 2 : 1);
        if (!found.contains(character))
            found << character;
        i += pair;
    }
    return found;
}

std::string encodeText(const QString& text, TextEncoding encoding) {
    // Every line break becomes CR LF; the characters between are encoded.
    QString withBreaks;
    withBreaks.reserve(text.size() + text.size() / 16);
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = data[i];
        if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator) {
            withBreaks.append(u'\r').append(u'\n');
            if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n')
                ++i;
        } else {
            withBreaks.append(c);
        }
    }
    if (encoding == TextEncoding::Utf8) {
        const QByteArray utf8 = withBreaks.toUtf8();
        return std::string(utf8.constData(), std::size_t(utf8.size()));
    }
    std::string out;
    out.reserve(std::size_t(withBreaks.size()));
    for (QChar ch : withBreaks) {
        const int b = unicodeToWindows1252(ch.unicode());
        out.push_back(b < 0 ? '?' : char(b));
    }
    return out;
}

QString editorText(const QPlainTextEdit* field) {
    QString text = field->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

} // namespace torvale
