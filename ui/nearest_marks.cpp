// The nearest place of a failed step in the author's words, and its lines
// marked by how each differs from the search text.
#include "nearest_marks.h"

#include "text_codec.h"

#include <cmath>
#include <set>

namespace torvale {

namespace {

using Kind = PlaceLine::Kind;
using Mark = PlainTextView::LineMark;

QString range(std::size_t first, std::size_t last) {
    return first == last ? QStringLiteral("line %1").arg(first)
                         : QStringLiteral("lines %1-%2").arg(first).arg(last);
}

QString percent(double similarity) {
    return QStringLiteral("%1%").arg(int(std::lround(similarity * 100)));
}

QString counted(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QString quoted(std::string_view line, TextEncoding encoding) {
    return quotedLine(line, encoding, 100);
}

bool inPlace(const NearestPlace& place, const PlaceLine& line) {
    return line.fileLine >= place.first && line.fileLine <= place.last;
}

// The run as the author sees it in the forum file on disk, when the check
// could tell.
QString shownRange(std::size_t first, std::size_t last, std::size_t diskFirst,
                   std::size_t diskLast) {
    return diskFirst && diskLast && diskFirst <= diskLast ? range(diskFirst, diskLast)
                                                          : range(first, last);
}

} // namespace

QString nearestPlaceSentence(const NearestPlace& place) {
    const QString at = shownRange(place.first, place.last, place.diskFirst, place.diskLast);
    const QString other =
        shownRange(place.otherFirst, place.otherLast, place.otherDiskFirst, place.otherDiskLast);
    QString out;
    if (!place.only.empty()) {
        out = QStringLiteral("Its lines are at %1 of the file, the same but for %2")
                  .arg(at, QString::fromStdString(place.only));
    } else {
        int changed = 0, added = 0, gone = 0;
        // Two search lines that became one line of the file count once.
        std::set<std::size_t> changedLines;
        for (const PlaceLine& l : place.lines) {
            if (l.kind == Kind::Changed && changedLines.insert(l.fileLine).second)
                ++changed;
            added += l.kind == Kind::Added && inPlace(place, l);
            gone += l.kind == Kind::Removed;
        }
        QStringList what;
        if (changed)
            what << counted(changed, "line changed", "lines changed");
        if (added)
            what << counted(added, "line only in the file", "lines only in the file");
        if (gone)
            what << counted(gone, "search line not there", "search lines not there");
        out = QStringLiteral("Its lines most likely went to %1 of the file (%2 alike)")
                  .arg(at, percent(place.similarity));
        if (!what.isEmpty())
            out += QStringLiteral(": ") + what.join(QStringLiteral(", "));
    }
    if (place.ambiguous && !place.only.empty() && place.otherSimilarity >= 1)
        out += QStringLiteral("; %1 hold the same lines too: see which one is meant").arg(other);
    else if (place.ambiguous)
        out += QStringLiteral("; %1 (%2 alike) is about as good: see which one is meant")
                   .arg(other, percent(place.otherSimilarity));
    return out + QLatin1Char('.');
}

QString nearestPlaceDetails(const NearestPlace& place, TextEncoding encoding) {
    QStringList out;
    // The lines as the forum file on disk numbers them, where the steps
    // before this one put no line in among them.
    const bool onDisk = place.diskFirst && place.diskLast >= place.diskFirst &&
                        place.diskLast - place.diskFirst == place.last - place.first;
    const auto line = [&](std::size_t fileLine) {
        return onDisk ? fileLine - place.first + place.diskFirst : fileLine;
    };
    if (!onDisk && place.diskFirst != place.first)
        out << QStringLiteral("Lines counted in the file as the steps before this one leave it.");
    constexpr int kMostShown = 12;
    int shown = 0;
    for (const PlaceLine& l : place.lines) {
        if (l.kind == Kind::Same || (l.kind == Kind::Added && !inPlace(place, l)))
            continue;
        if (++shown > kMostShown) {
            out << QStringLiteral("\u2026");
            break;
        }
        switch (l.kind) {
        case Kind::Changed:
            out << QStringLiteral("Search line %1 %2 is line %3 %4")
                       .arg(l.searchLine)
                       .arg(quoted(l.searchText, encoding))
                       .arg(line(l.fileLine))
                       .arg(quoted(l.fileText, encoding));
            break;
        case Kind::Added:
            out << QStringLiteral("Line %1 is only in the file: %2")
                       .arg(line(l.fileLine))
                       .arg(quoted(l.fileText, encoding));
            break;
        default:
            out << QStringLiteral("Search line %1 is not in the file: %2")
                       .arg(l.searchLine)
                       .arg(quoted(l.searchText, encoding));
        }
    }
    return out.join(QLatin1Char('\n'));
}

std::vector<Mark> nearestPlaceMarks(const NearestPlace& place, int at, TextEncoding encoding) {
    std::vector<Mark> marks;
    const auto viewLine = [&](std::size_t fileLine) { return at + int(fileLine - place.first); };
    // Where a search line the file lacks would stand: after the last line
    // of the file passed so far.
    std::size_t passed = place.first - 1;
    for (const PlaceLine& l : place.lines) {
        switch (l.kind) {
        case Kind::Same:
            marks.push_back({viewLine(l.fileLine), Mark::Kind::Same,
                             QStringLiteral("Search line %1: the same").arg(l.searchLine)});
            break;
        case Kind::Changed:
            marks.push_back({viewLine(l.fileLine), Mark::Kind::Changed,
                             QStringLiteral("Search line %1 reads %2")
                                 .arg(l.searchLine)
                                 .arg(quoted(l.searchText, encoding))});
            break;
        case Kind::Added:
            if (inPlace(place, l))
                marks.push_back({viewLine(l.fileLine), Mark::Kind::Only,
                                 QStringLiteral("Only in the file: the search text has no line "
                                                "like it here")});
            break;
        case Kind::Removed:
            marks.push_back({viewLine(passed + 1), Mark::Kind::Missing,
                             QStringLiteral("Above this line the search text has line %1, "
                                            "which the file lacks: %2")
                                 .arg(l.searchLine)
                                 .arg(quoted(l.searchText, encoding))});
            continue;
        }
        if (inPlace(place, l))
            passed = l.fileLine;
    }
    std::erase_if(marks,
                  [&](const Mark& m) { return m.line < at || m.line > viewLine(place.last + 1); });
    return marks;
}

std::vector<std::string> forumLineKeys(const NearestPlace& place, bool other) {
    const std::size_t first = other ? place.otherFirst : place.first;
    const std::size_t end = (other ? place.otherLast : place.last) + 1;
    std::vector<std::string> keys;
    // A line of the file that two search lines became is taken once.
    std::size_t last = 0;
    for (const PlaceLine& l : other ? place.otherLines : place.lines)
        if (l.fileLine >= first && l.fileLine < end && l.fileLine != last) {
            keys.push_back(l.fileText);
            last = l.fileLine;
        }
    return keys;
}

QString placeChoice(const NearestPlace& place, bool other) {
    const QString lines =
        other ? shownRange(place.otherFirst, place.otherLast, place.otherDiskFirst,
                           place.otherDiskLast)
              : shownRange(place.first, place.last, place.diskFirst, place.diskLast);
    return QStringLiteral("Use %1 (%2 alike)")
        .arg(lines, percent(other ? place.otherSimilarity : place.similarity));
}

std::string forumLinesOf(const NearestPlace& place, bool other) {
    const std::vector<std::string> keys = forumLineKeys(place, other);
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i)
        text += (i ? "\r\n" : "") + keys[i];
    return text;
}

} // namespace torvale
