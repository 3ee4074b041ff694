// The nearest place of a search text that is no longer found, on the kinds of
// change a forum upgrade makes, and where two places are about as good.
#include "check/nearest_place.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace torvale;

namespace {

std::vector<std::string_view> linesOf(const std::string& text) {
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        lines.push_back(rest.substr(0, lf));
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    }
    return lines;
}

const std::string kPost = "sub Post {\n"
                          "    my $name = $FORM{'name'};\n"
                          "    if ($name eq '') { fatal_error('no_name'); }\n"
                          "    $yySetLocation = qq~$scripturl?action=display~;\n"
                          "}\n"
                          "sub Other {\n"
                          "    my $subject = $FORM{'subject'};\n"
                          "    $subject =~ s/\\r//g;\n"
                          "}\n";

} // namespace

TEST(NearestPlace, FindsWhereTheLinesWent) {
    const std::string twice = kPost + "sub Again {\n" + kPost.substr(kPost.find("    my $name"));
    struct Case {
        const char* what;
        std::string file;
        std::string search;
        std::size_t first, last;
        const char* only;   // what alone differs; "" for a similar place
        double atLeast;     // similarity
        bool ambiguous;
        std::vector<PlaceLine::Kind> kinds; // the lines, in order
    };
    using K = PlaceLine::Kind;
    const Case cases[] = {
        {"blanks only", kPost, "  my $name\t= $FORM{'name'};\n  if ($name eq '') { fatal_error('no_name'); }",
         2, 3, "blanks and tabs", 1, false, {K::Changed, K::Changed}},
        {"blanks at the ends", kPost, "    my $name = $FORM{'name'};  ", 2, 2, "blanks at line ends", 1, false,
         {K::Changed}},
        {"case only", kPost, "    MY $NAME = $FORM{'NAME'};\n    if ($name eq '') { fatal_error('no_name'); }",
         2, 3, "letter case", 1, false, {K::Changed, K::Same}},
        {"a line inserted inside", kPost,
         "    my $name = $FORM{'name'};\n    $yySetLocation = qq~$scripturl?action=display~;", 2, 4, "", 0.6,
         false, {K::Same, K::Added, K::Same}},
        {"a renamed variable", kPost,
         "    my $nick = $FORM{'name'};\n    if ($nick eq '') { fatal_error('no_name'); }", 2, 3, "", 0.6, false,
         {K::Changed, K::Changed}},
        {"a line gone", kPost,
         "    my $subject = $FORM{'subject'};\n    $subject =~ s/\\n//g;\n    $subject =~ s/\\r//g;", 7, 8, "",
         0.5, false, {K::Same, K::Removed, K::Same}},
        {"two equally good places", twice,
         "    my $nick = $FORM{'name'};\n    if ($nick eq '') { fatal_error('no_name'); }", 2, 3, "", 0.6, true,
         {K::Changed, K::Changed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string_view> file = linesOf(c.file), search = linesOf(c.search);
        const std::optional<NearestPlace> place = nearestPlace(file, search);
        ASSERT_TRUE(place);
        EXPECT_EQ(place->first, c.first);
        EXPECT_EQ(place->last, c.last);
        EXPECT_EQ(place->only, c.only);
        EXPECT_GE(place->similarity, c.atLeast);
        EXPECT_LE(place->similarity, 1.0);
        EXPECT_EQ(place->ambiguous, c.ambiguous);
        std::vector<K> kinds;
        for (const PlaceLine& l : place->lines) {
            kinds.push_back(l.kind);
            // Each line names the text it stands for.
            if (l.fileLine) {
                EXPECT_EQ(l.fileText, file[l.fileLine - 1]);
            }
            if (l.searchLine) {
                EXPECT_EQ(l.searchText, search[l.searchLine - 1]);
            }
        }
        EXPECT_EQ(kinds, c.kinds);
        if (c.ambiguous) {
            EXPECT_GT(place->otherFirst, place->last);
            EXPECT_NE(describePlace(*place).find("about as good"), std::string::npos);
        }
    }
    // Nothing like the search text: no place.
    EXPECT_FALSE(nearestPlace(linesOf(kPost), linesOf("print STDERR $unrelated_thing;")));
}
