// The nearest place of a search text that is no longer found, on the kinds of
// change a forum upgrade makes, and where two places are about as good.
#include "check/mod_check.h"
#include "check/file_index.h"
#include "check/nearest_place.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
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

// A file's head: banners of '#' around its name and version.
const std::string kBanner = std::string(79, '#') + "\n# Sessions.pm\n" + std::string(79, '#') + "\n\n" +
                            std::string(79, '#') + "\nour $VERSION = '2.6.11';\n";

// The argument of the call sought stands more often on another line.
const std::string kShow = "sub Show {\n"
                          "    my $uname = $INFO{'u'}; $uname =~ s/\\W//g; $uname = lc $uname;\n"
                          "    print \"$uname\\n\";\n"
                          "    print \"Done\\n\";\n"
                          "    print \"More\\n\";\n"
                          "    load_user($uname);\n"
                          "}\n";

} // namespace

TEST(NearestPlace, FindsWhereTheLinesWent) {
    const std::string twice = kPost + "sub Again {\n" + kPost.substr(kPost.find("    my $name"));
    const std::string nested = kPost + "sub Again {\n    {\n        my $name = $FORM{'name'};\n"
                                       "        if ($name eq '') { fatal_error('no_name'); }\n    }\n}\n";
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
        {"a long line does not swallow a short one joined onto it", kBanner,
         std::string(79, '#') + "\nour $VERSION = '2.5.4';", 5, 6, "", 0.5, false, {K::Same, K::Changed}},
        {"a renamed function among lines that repeat its argument", kShow, "    LoadUser($uname);", 6, 6, "",
         0.6, false, {K::Changed}},
        {"two equally good places", twice,
         "    my $nick = $FORM{'name'};\n    if ($nick eq '') { fatal_error('no_name'); }", 2, 3, "", 0.6, true,
         {K::Changed, K::Changed}},
        {"of two equally good places, the one nested as the search text first", nested,
         "        my $nick = $FORM{'name'};\n        if ($nick eq '') { fatal_error('no_name'); }", 12, 13, "", 0.6,
         true, {K::Changed, K::Changed}},
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
            EXPECT_TRUE(place->otherLast < place->first || place->otherFirst > place->last);
            EXPECT_NE(describePlace(*place).find("about as good"), std::string::npos);
        }
    }
    // Nothing like the search text: no place.
    EXPECT_FALSE(nearestPlace(linesOf(kPost), linesOf("print STDERR $unrelated_thing;")));
}

// In a check, the failed steps of a file share what is known of its lines
// until a step changes it: each must still get the place a look of its own
// into the file as the steps before left it would find, and its lines on disk.
TEST(NearestPlace, TheCheckPlacesEachFailedStepInTheFileAsTheStepsBeforeLeftIt) {
    std::string subs = test::readBytes(test::sharedDir() / "forum/yabb2/Sources/Subs.pm");
    ASSERT_FALSE(subs.empty());
    std::erase(subs, '\r');
    subs.resize(subs.rfind('\n', 60000) + 1);
    std::vector<std::string> file;
    for (const std::string_view line : linesOf(subs))
        file.emplace_back(line);
    std::vector<long> origin(file.size()); // each line's line on disk, -1 for one the mod put in
    std::iota(origin.begin(), origin.end(), 0L);
    std::string mod = "<id>\nt\n</id>\n\n<version>\n1\n</version>\n\n<mod info>\nx\n</mod info>\n\n"
                      "<author>\nx\n</author>\n\n<homepage>\nx\n</homepage>\n\n"
                      "<edit file>\nSources/Subs.pm\n</edit file>\n\n";
    std::vector<std::optional<NearestPlace>> expected; // of each failed step
    std::vector<std::size_t> expectedDisk;
    std::mt19937 random(20261208);
    for (int step = 0; step < 24; ++step) {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, file.size() - 4)(random);
        if (step % 3 == 2) {
            // Found: a line goes in after it, and every place below moves.
            if (std::ranges::count(file, file[at]) != 1 || file[at].empty() ||
                file[at].find('<') != std::string::npos) {
                --step;
                continue;
            }
            mod += "<search for>\n" + file[at] + "\n</search for>\n\n<add after>\n# added " +
                   std::to_string(step) + "\n</add after>\n\n";
            file.insert(file.begin() + long(at) + 1, "# added " + std::to_string(step));
            origin.insert(origin.begin() + long(at) + 1, -1L);
            continue;
        }
        // Not found: three lines, the first indented anew and a word of the
        // second renamed.
        std::vector<std::string> search = {"\t" + file[at], file[at + 1] + " # renamed", file[at + 2]};
        if (std::ranges::any_of(search, [](const std::string& l) { return l.find('<') != std::string::npos; })) {
            --step;
            continue;
        }
        mod += "<search for>\n" + search[0] + "\n" + search[1] + "\n" + search[2] +
               "\n</search for>\n\n<add after>\nx\n</add after>\n\n";
        const std::vector<std::string_view> now(file.begin(), file.end());
        const std::vector<std::string_view> keys(search.begin(), search.end());
        expected.push_back(nearestPlace(now, keys));
        expectedDisk.push_back(expected.back() && origin[expected.back()->first - 1] >= 0
                                   ? std::size_t(origin[expected.back()->first - 1]) + 1
                                   : 0);
    }
    CheckOptions options;
    options.forumDirectory = "/forum";
    options.read = [&subs](const std::string& path) {
        return path == "/forum/Sources/Subs.pm"
                   ? yabmod::DiskEntry{yabmod::DiskEntry::Kind::File, subs}
                   : yabmod::DiskEntry{};
    };
    const CheckReport report = checkMod(mod, options);
    std::size_t failed = 0;
    for (const StepCheck& s : report.steps) {
        if (s.status == StepCheck::Status::Found ||
            (s.status == StepCheck::Status::NotReached && s.foundPast))
            continue;
        ASSERT_LT(failed, expected.size()) << "step " << s.step;
        const std::optional<NearestPlace>& want = expected[failed];
        ASSERT_EQ(s.nearest.has_value(), want.has_value()) << "step " << s.step;
        if (want) {
            EXPECT_EQ(s.nearest->first, want->first) << "step " << s.step;
            EXPECT_EQ(s.nearest->last, want->last) << "step " << s.step;
            EXPECT_DOUBLE_EQ(s.nearest->similarity, want->similarity) << "step " << s.step;
            EXPECT_EQ(s.nearest->diskFirst, expectedDisk[failed]) << "step " << s.step;
        }
        ++failed;
    }
    EXPECT_EQ(failed, expected.size());
}

// The failed steps' worker keeps one memo of lines' facts for every state of
// every file. An index made with it must equal the plain definitions, also
// when a buffer is overwritten with other text at the same place, or two
// states hold the same line.
TEST(NearestPlace, AnIndexMadeWithALongKeptMemoEqualsThePlainDefinitions) {
    using namespace place;
    std::mt19937 random(17);
    const std::vector<std::string> pieces = {"}", "", "\t", "    ", "my", " $Name", "_x", "load_user",
                                             "LoadUser", "(", "'a b'", "if", "print", "# 1;"};
    const auto randomLine = [&] {
        std::string line;
        for (int n = int(random() % 5); n-- > 0;)
            line += pieces[random() % pieces.size()];
        return line;
    };
    // Lines in buffers of their own, some rewritten in place between states.
    std::vector<std::string> buffers(40);
    for (std::string& b : buffers) {
        b.reserve(64);
        b = randomLine();
    }
    const auto memo = std::make_shared<LineMemo>();
    std::vector<std::size_t> file(30);
    for (std::size_t& at : file)
        at = random() % buffers.size();
    for (int state = 0; state < 200; ++state) {
        SCOPED_TRACE("state " + std::to_string(state));
        switch (random() % 3) {
        case 0: buffers[random() % buffers.size()] = randomLine(); break; // same bytes, other text
        case 1: file.insert(file.begin() + long(random() % (file.size() + 1)), random() % buffers.size()); break;
        default:
            if (!file.empty())
                file.erase(file.begin() + long(random() % file.size()));
        }
        std::vector<std::string_view> lines;
        for (const std::size_t at : file)
            lines.push_back(buffers[at]);
        const FileIndex index(lines, memo);
        ASSERT_EQ(index.lines.size(), lines.size());
        ASSERT_EQ(index.wordStart.size(), lines.size() + 1);
        for (std::size_t j = 0; j < lines.size(); ++j) {
            const std::string normal = likeness::normal(lines[j]);
            ASSERT_EQ(index.normal[j], normal) << lines[j];
            ASSERT_EQ(index.hash[j], likeness::hashOf(normal));
            const auto same = std::ranges::count_if(
                lines, [&](std::string_view l) { return likeness::normal(l) == normal; });
            ASSERT_EQ(index.count.of(index.hash[j]), std::uint32_t(same));
            std::vector<std::uint64_t> words;
            likeness::forEachWord(normal, [&](std::uint64_t w) { words.push_back(w); });
            ASSERT_EQ(std::vector<std::uint64_t>(index.wordHashes.begin() + index.wordStart[j],
                                                 index.wordHashes.begin() + index.wordStart[j + 1]),
                      words);
        }
        EXPECT_EQ(index.count.of(likeness::hashOf("not in the file")), 0u);
        // What the searches ask of the memo, each made once for all states.
        index.keepLineBits();
        for (std::size_t j = 0; j < lines.size(); ++j) {
            const std::string normal = likeness::normal(lines[j]);
            const likeness::Pairs made = index.memo().pairs(index.ids[j]);
            ASSERT_EQ(std::vector<std::uint16_t>(made.begin(), made.end()), likeness::bigramsOf(normal));
            if (j + 1 < lines.size()) { // the lines are too short to be cut
                const likeness::Pairs joined = index.memo().joinedPairs(index.ids[j], index.ids[j + 1]);
                ASSERT_EQ(std::vector<std::uint16_t>(joined.begin(), joined.end()),
                          likeness::bigramsOf(normal + likeness::normal(lines[j + 1])));
            }
            ASSERT_EQ(index.lineBits(j).bits, likeness::bitsOf(normal));
            const auto letters = std::ranges::count_if(normal, likeness::word);
            ASSERT_EQ(index.weight(j), lineWeight(std::size_t(letters), index.count.of(index.hash[j])));
        }
    }
}

// The likeness that gives up once a floor is out of reach must give what
// the plain one does wherever that reaches the floor, and 0 elsewhere.
TEST(NearestPlace, DiceWithAFloorAgreesWithPlainDice) {
    std::mt19937 random(5);
    const std::string pieces = "ab(){}$_ ;=x";
    const auto randomLine = [&](std::size_t most) {
        std::string line(random() % most, ' ');
        for (char& c : line)
            c = pieces[random() % pieces.size()];
        return line;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string a = randomLine(round % 7 == 0 ? 600 : 40);
        std::string b = a; // mostly a changed a little, so that many reach the floor
        for (int n = int(random() % 6); n-- > 0 && !b.empty();)
            b[random() % b.size()] = pieces[random() % pieces.size()];
        if (random() % 4 == 0)
            b = randomLine(40);
        const std::vector<std::uint16_t> pa = likeness::bigramsOf(a), pb = likeness::bigramsOf(b);
        const double plain = likeness::dice(pa, pb);
        for (const double floor : {0.35, 0.6, 0.9})
            ASSERT_EQ(likeness::dice(pa, pb, floor), plain >= floor ? plain : 0) << a << " | " << b;
    }
}
