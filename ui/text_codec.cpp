#include "text_codec.h"

namespace torvale {

namespace {

// Qt's text widgets hold one '\n' per line break.
QString normaliseBreaks(QString text) {
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    return text;
}

} // namespace

QString decodeText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8)
        return normaliseBreaks(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* dst = out.data();
    for (unsigned char c : bytes)
        *dst++ = QChar(windows1252ToUnicode(c));
    return normaliseBreaks(std::move(out));
}

std::string encodeText(const QString& text, TextEncoding encoding) {
    QString withBreaks = text;
    withBreaks.replace(QChar::ParagraphSeparator, u'\n');
    withBreaks.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    withBreaks.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
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

} // namespace torvale
