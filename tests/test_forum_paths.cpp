// The path operations in both path styles: the Windows examples as written,
// their equivalents in this system's paths, and a round trip from a chosen
// file to the name written into the mod and back.
#include "forum/name_lookup.h"
#include "forum/paths.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;

namespace {

// The same path on this system: no drive, "/" between names.
std::string posix(std::string_view windows) {
    if (windows.size() >= 2 && windows[1] == ':')
        windows.remove_prefix(2);
    return Rep(windows, "\\", "/");
}

struct Case {
    const char* first;
    const char* second; // unused by one-argument operations
    const char* expected;
};

// Each case checked as written in the Windows style, and translated by
// posix() in this system's style.
template <class Operation> void checkBothStyles(const std::vector<Case>& cases, Operation op) {
    for (const Case& c : cases) {
        EXPECT_EQ(op(c.first, c.second, kWindowsPaths), c.expected) << c.first << " | " << c.second;
        EXPECT_EQ(op(posix(c.first), posix(c.second), kPosixPaths), posix(c.expected))
            << posix(c.first) << " | " << posix(c.second);
    }
}

} // namespace

TEST(Rep, ReplacesEveryOccurrenceFromTheLeft) {
    EXPECT_EQ(Rep("Sources/Sub/Post.pl", "/", "\\"), "Sources\\Sub\\Post.pl");
    EXPECT_EQ(Rep("", "/", "\\"), "");
    EXPECT_EQ(Rep("abc", "", "x"), "abc");
    EXPECT_EQ(Rep("aaa", "aa", "b"), "ba") << "occurrences do not overlap";
    EXPECT_EQ(Rep("a/b", "/", "//"), "a//b") << "the replacement is not searched again";
    EXPECT_EQ(Rep("xAx", "a", "b"), "xAx") << "case-sensitive";
}

TEST(IncludeDelimiter, AppendsOneSeparatorWhenMissing) {
    EXPECT_EQ(IncludeDelimiter("C:\\yabb", kWindowsPaths), "C:\\yabb\\");
    EXPECT_EQ(IncludeDelimiter("C:\\yabb\\", kWindowsPaths), "C:\\yabb\\");
    EXPECT_EQ(IncludeDelimiter("/usr/bin", kPosixPaths), "/usr/bin/");
    EXPECT_EQ(IncludeDelimiter("/usr/bin/", kPosixPaths), "/usr/bin/");
}

TEST(Updir, GivesTheParentWithItsSeparator) {
    checkBothStyles(
        {{"C:\\yabb\\cgi-bin\\", "", "C:\\yabb\\"},
         {"C:\\yabb\\cgi-bin", "", "C:\\yabb\\"},
         {"C:\\yabb\\", "", "C:\\"},
         {"C:\\a\\b\\", "", "C:\\a\\"},
         {"C:\\a\\b", "", "C:\\a\\"},
         {"C:\\a\\\\", "", "C:\\a\\"}, // only one trailing separator goes
         {"C:\\", "", ""},
         {"name", "", ""},
         {"", "", ""}},
        [](const std::string& p, const std::string&, PathStyle s) { return updir(p, s); });
}

TEST(Chabspath, ResolvesAgainstTheBaseDirectory) {
    checkBothStyles(
        {{"C:\\yabb\\cgi-bin\\", "Sources/Post.pl", "C:\\yabb\\cgi-bin\\Sources\\Post.pl"},
         {"C:\\yabb\\cgi-bin\\", "../yabbfiles/x.js", "C:\\yabb\\yabbfiles\\x.js"},
         {"C:\\yabb\\cgi-bin\\", "./YaBB.pl", "C:\\yabb\\cgi-bin\\YaBB.pl"},
         {"C:\\yabb\\cgi-bin\\", "../../x.pl", "C:\\x.pl"},
         {"C:\\yabb\\cgi-bin\\YaBB.pl", "Sources/Post.pl", "C:\\yabb\\cgi-bin\\Sources\\Post.pl"},
         {"C:\\YaBB.pl", "x.pl", "C:\\x.pl"},
         {"C:\\", "x.pl", "C:\\x.pl"},
         // Above the root there is nothing; never a name of the current folder.
         {"C:\\yabb\\cgi-bin\\", "../../../x.pl", ""},
         {"C:\\yabb\\cgi-bin\\", "../../../../x.pl", ""},
         {"YaBB.pl", "x.pl", ""}},
        [](const std::string& base, const std::string& rel, PathStyle s) {
            return chabspath(base, rel, s);
        });
    // Drives, shares and the colon exist only in the Windows style.
    EXPECT_EQ(chabspath("C:", "x.pl", kWindowsPaths), "C:\\x.pl");
    EXPECT_EQ(chabspath("\\\\srv\\share\\YaBB.pl", "../x.pl", kWindowsPaths), "");
    EXPECT_EQ(chabspath("\\\\srv\\share\\f\\YaBB.pl", "x.pl", kWindowsPaths),
              "\\\\srv\\share\\f\\x.pl");
    EXPECT_EQ(chabspath("/srv/a:b/YaBB.pl", "x.pl", kPosixPaths), "/srv/a:b/x.pl");
}

TEST(RelativeToForum, WalksFromTheForumFolderToTheChosenFile) {
    checkBothStyles(
        {{"C:\\yabb\\cgi-bin\\Sources\\Post.pl", "C:\\yabb\\cgi-bin\\YaBB.pl", "Sources\\Post.pl"},
         {"C:\\yabb\\yabbfiles\\x.js", "C:\\yabb\\cgi-bin\\YaBB.pl", "..\\yabbfiles\\x.js"},
         {"C:\\yabb\\cgi-bin\\News.pl", "C:\\yabb\\cgi-bin\\YaBB.pl", "News.pl"},
         {"C:\\other\\x.pl", "C:\\yabb\\cgi-bin\\YaBB.pl", "..\\..\\other\\x.pl"},
         {"C:\\x.pl", "C:\\yabb\\cgi-bin\\YaBB.pl", "..\\..\\x.pl"}},
        [](const std::string& chosen, const std::string& forum, PathStyle s) {
            return relativeToForum(chosen, forum, s);
        });
    // Another drive keeps the chosen path; the mod then stores it with "/".
    EXPECT_EQ(
        fileNameOf(relativeToForum("D:\\work\\x.pl", "C:\\yabb\\cgi-bin\\YaBB.pl", kWindowsPaths),
                   kWindowsPaths),
        "D:/work/x.pl");
    EXPECT_EQ(
        relativeToForum("c:\\YABB\\Cgi-Bin\\x.pl", "C:\\yabb\\cgi-bin\\YaBB.pl", kWindowsPaths),
        "x.pl");
    EXPECT_EQ(relativeToForum("\\\\srv\\share\\x.pl", "C:\\yabb\\YaBB.pl", kWindowsPaths),
              "\\\\srv\\share\\x.pl");
    // This system tells names apart by their letter case.
    EXPECT_EQ(relativeToForum("/YABB/x.pl", "/yabb/YaBB.pl", kPosixPaths), "../YABB/x.pl");
    // A relative location cannot be walked from an absolute file.
    EXPECT_EQ(relativeToForum("/srv/x.pl", "yabb/YaBB.pl", kPosixPaths), "/srv/x.pl");
}

// What Browse writes into the mod leads the view back to the same file,
// whatever the two paths share.
TEST(RelativeToForum, ResolvingTheWrittenNameFindsTheChosenFile) {
    std::mt19937 rng(8);
    const char* names[] = {"a", "b", "B", "yabb", "cgi-bin", "Sources"};
    const auto randomPath = [&](PathStyle style, const std::string& root) {
        std::string path = root;
        const int depth = int(rng() % 4);
        for (int i = 0; i < depth; ++i)
            (path += names[rng() % std::size(names)]) += style.separator;
        return path + (rng() % 2 ? "YaBB.pl" : "Post.pl");
    };
    const auto noLookup = [](const std::string&, const std::string&) {
        return std::optional<std::string>();
    };
    const auto foldCase = [](std::string s) {
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (int i = 0; i < 2000; ++i) {
        const bool windows = i % 2;
        const PathStyle style = windows ? kWindowsPaths : kPosixPaths;
        const char* roots[] = {"C:\\", "c:\\", "D:\\", "\\\\srv\\share\\"};
        const auto root = [&] { return windows ? std::string(roots[rng() % 4]) : "/"; };
        const std::string forum = randomPath(style, root());
        const std::string chosen = randomPath(style, root());
        const std::string written = fileNameOf(relativeToForum(chosen, forum, style), style);
        const std::string found =
            resolveEditFile(forumScriptDirectory(forum, style), written, style, noLookup);
        if (windows)
            EXPECT_EQ(foldCase(found), foldCase(chosen)) << forum << " -> " << written;
        else
            EXPECT_EQ(found, chosen) << forum << " -> " << written;
    }
}
