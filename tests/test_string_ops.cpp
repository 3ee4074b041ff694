#include "document/string_ops.h"

#include <gtest/gtest.h>

using torvale::IncludeDelimiter;
using torvale::Rep;

TEST(Rep, ReplacesEveryOccurrenceFromTheLeft) {
    EXPECT_EQ(Rep("Sources/Sub/Post.pl", "/", "\\"), "Sources\\Sub\\Post.pl");
    EXPECT_EQ(Rep("..\\yabbfiles\\x.js", "\\", "/"), "../yabbfiles/x.js");
    EXPECT_EQ(Rep("", "/", "\\"), "");
    EXPECT_EQ(Rep("abc", "", "x"), "abc");
    EXPECT_EQ(Rep("aaa", "aa", "b"), "ba") << "occurrences do not overlap";
    EXPECT_EQ(Rep("a/b", "/", "//"), "a//b") << "the replacement is not searched again";
    EXPECT_EQ(Rep("xAx", "a", "b"), "xAx") << "case-sensitive";
    EXPECT_EQ(Rep("/a/", "/", ""), "a");
}

TEST(IncludeDelimiter, AppendsOneBackslashWhenMissing) {
    EXPECT_EQ(IncludeDelimiter("C:\\yabb"), "C:\\yabb\\");
    EXPECT_EQ(IncludeDelimiter("C:\\yabb\\"), "C:\\yabb\\");
    EXPECT_EQ(IncludeDelimiter("/usr/bin/"), "/usr/bin/\\");
}
