// How the nearest place of a step that is no longer found is shown to a mod's
// author: in words in the Test Mod panel, and as marks on the forum file's lines.
#pragma once

#include "widgets/plain_text_view.h"

#include "check/nearest_place.h"
#include "document/text_encoding.h"

#include <QString>

#include <string>
#include <vector>

namespace torvale {

// One sentence: where the lines most likely went, how alike they are, what
// kind of difference, and the other place when it is about as good.
QString nearestPlaceSentence(const NearestPlace& place);

// The lines that differ, one a line, for a tooltip.
QString nearestPlaceDetails(const NearestPlace& place, TextEncoding encoding);

// The marks of the place's lines in a view whose line at (from 0) is the
// place's first line.
std::vector<PlainTextView::LineMark> nearestPlaceMarks(const NearestPlace& place, int at,
                                                       TextEncoding encoding);

// The file's lines of the place (or of the other place named beside it),
// first to last, as a search text holds them (CR LF between them); and as
// keys, for finding them.
std::string forumLinesOf(const NearestPlace& place, bool other = false);
std::vector<std::string> forumLineKeys(const NearestPlace& place, bool other = false);

// "lines 209-212 (88% alike)" of the place or of the other one, as the file
// on disk numbers them where the check could tell.
QString placeChoice(const NearestPlace& place, bool other);

} // namespace torvale
