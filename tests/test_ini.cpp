// TIniPlus: the lookup rules of hand-edited files, the value forms, the layout
// it writes, and reading and writing the file.
#include "settings/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace torvale;

namespace {

TIniPlus parsed(std::string_view text) {
    TIniPlus ini;
    ini.Parse(text);
    return ini;
}

} // namespace

TEST(TIniPlus, FindsKeysOfHandEditedFilesAsWindowsDoes) {
    const TIniPlus ini = parsed("stray=before any section\r\n"
                                "; a comment=no key\n"
                                "[general]\r\n"
                                "  Tree_Width = 128  \r\n"
                                "garbage line\n"
                                "=no name\n"
                                "YABB=C:\\forum\\YaBB.pl\n"
                                "yabb=second one\n"
                                "Empty=\n"
                                "  [ MRU ]  \n"
                                "MRU0=a=b\n"
                                "[General]\n"
                                "Late=in a second General\n"
                                "[Old Mac]\rA=1\rB=2\r");
    EXPECT_EQ(ini.ReadInteger("General", "tree_width", 0), 128);
    EXPECT_EQ(ini.ReadString("GENERAL", "YaBB", "-"), "C:\\forum\\YaBB.pl") << "the first wins";
    EXPECT_EQ(ini.ReadString("General", "Empty", "-"), "");
    EXPECT_EQ(ini.ReadString("mru", "MRU0", "-"), "a=b");
    EXPECT_EQ(ini.ReadString("General", "Late", "-"), "-") << "only the first section counts";
    for (const char* key : {"stray", "; a comment", "garbage line", ""})
        EXPECT_FALSE(ini.ValueExists("General", key)) << key;
    EXPECT_EQ(ini.ReadString("Old Mac", "A", "-") + ini.ReadString("Old Mac", "B", "-"), "12");
    EXPECT_EQ(ini.ReadString("General", "missing", "fallback"), "fallback");
    EXPECT_EQ(ini.ReadString("Missing", "YaBB", "fallback"), "fallback");
    // Notepad's UTF-8 starts with a byte-order mark, which is no part of "[General]".
    EXPECT_EQ(parsed("\xEF\xBB\xBF[General]\r\nYaBB=x\r\n").ReadString("General", "YaBB", "-"),
              "x");
}

TEST(TIniPlus, ReadsIntegersAndBooleansInEveryForm) {
    const struct {
        const char* text;
        std::int32_t integer; // with the fallback 77
    } cases[] = {
        {"128", 128},
        {"0x80", 128},
        {"0X80", 128},
        {"$80", 128},
        {"$00FF0000", 0xFF0000},
        {"$FFFFFFFF", -1},
        {"-5", -5},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"0", 0},
        {"2147483648", 77},
        {"$123456789", 77},
        {"12a", 77},
        {"", 77},
        {"0x", 77},
        {"$", 77},
        {"-", 77},
        {"1.5", 77},
        {"$-1", 77},
        {"x80", 77},
        {"99999999999999999999", 77},
    };
    for (const auto& c : cases) {
        const TIniPlus ini = parsed(std::string("[S]\nK=") + c.text + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "K", 77), c.integer) << c.text;
        EXPECT_EQ(ini.ReadBool("S", "K", false), c.integer == 77 ? false : c.integer != 0)
            << c.text;
    }
    EXPECT_TRUE(parsed("[S]\nK=junk\n").ReadBool("S", "K", true));
    EXPECT_EQ(parsed("").ReadInteger("S", "K", -3), -3);
}

TEST(TIniPlus, ReadsAtMost2047BytesOfAValue) {
    const std::string longValue(5000, 'x');
    const TIniPlus ini = parsed("[S]\nK=" + longValue + "\nN=" + std::string(3000, '1') + "\n");
    EXPECT_EQ(ini.ReadString("S", "K", ""), std::string(2047, 'x'));
    EXPECT_EQ(ini.ReadInteger("S", "N", 5), 5) << "2047 digits are no 32-bit integer";
}

TEST(TIniPlus, WritesOneLinePerValueWithCrLf) {
    TIniPlus ini;
    ini.WriteString("General", "YaBB", "/srv/forum/YaBB.pl");
    ini.WriteInteger("General", "Tree_Width", -12);
    ini.WriteBool("General", "Association", true);
    ini.WriteString("MRU", "MRU0", "a b.mod");
    ini.WriteString("general", "yabb", "changed"); // in place, keeping the name as written
    ini.WriteString("General", "Bad", "first line\r\nsecond=line");
    EXPECT_EQ(ini.Text(), "[General]\r\nYaBB=changed\r\nTree_Width=-12\r\nAssociation=1\r\n"
                          "Bad=first line\r\n[MRU]\r\nMRU0=a b.mod\r\n");
    ini.EraseSection("mru");
    ini.WriteBool("General", "Association", false);
    EXPECT_EQ(ini.Text(), "[General]\r\nYaBB=changed\r\nTree_Width=-12\r\nAssociation=0\r\n"
                          "Bad=first line\r\n");
}

// Writes of random names and values, read back from the text, against a map.
TEST(TIniPlus, WhatIsWrittenReadsBackAfterParsing) {
    std::mt19937 rng(7);
    const std::string names[] = {"General",    "GENERAL",    "MRU", "x",
                                 "Tree_Width", "tree_width", "a b", "K"};
    const auto pick = [&](auto& list) { return list[rng() % std::size(list)]; };
    for (int round = 0; round < 200; ++round) {
        TIniPlus ini;
        std::map<std::pair<std::string, std::string>, std::string> model;
        const auto folded = [](std::string s) {
            for (char& c : s)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        for (int step = 0; step < 12; ++step) {
            const std::string section = pick(names), key = pick(names);
            std::string value;
            for (std::size_t n = rng() % 6; n > 0; --n)
                value += "ab =[];$\xC3\xA9\x01"[rng() % 11];
            while (!value.empty() && (value.front() == ' ' || value.back() == ' '))
                value.erase(value.front() == ' ' ? 0 : value.size() - 1, 1);
            if (rng() % 5 == 0) {
                ini.EraseSection(section);
                std::erase_if(model,
                              [&](const auto& e) { return e.first.first == folded(section); });
            } else {
                ini.WriteString(section, key, value);
                model[{folded(section), folded(key)}] = value;
            }
        }
        const TIniPlus back = parsed(ini.Text());
        for (const auto& [where, value] : model)
            EXPECT_EQ(back.ReadString(where.first, where.second, "<none>"), value);
        EXPECT_EQ(back.Text(), ini.Text());
    }
}

TEST(TIniPlus, LoadsTextFilesAndRefusesTheRest) {
    test::TempDir dir;
    test::writeBytes(dir / "a.ini", "[General]\r\nTree_Width=1\r\n");
    test::writeBytes(dir / "binary.ini", std::string("[General]\r\nA=\0\x01\x02", 15));
    test::writeBytes(dir / "huge.ini", std::string(TIniPlus::kMaxFileSize + 1, 'x'));
    TIniPlus ini(dir / "a.ini");
    EXPECT_EQ(ini.Load(), "");
    EXPECT_EQ(ini.ReadInteger("General", "Tree_Width", 0), 1);

    const std::pair<const char*, const char*> refused[] = {
        {"binary.ini", "It is not a text file."},
        {"huge.ini", "The file is larger than 1 MiB."},
        {"missing.ini", "No such file or directory."},
        {"", "It is a folder, not a file."},
    };
    for (const auto& [name, error] : refused) {
        TIniPlus bad(dir / name);
        bad.WriteString("General", "Stale", "1");
        EXPECT_EQ(bad.Load(), error) << name;
        EXPECT_TRUE(bad.Sections().empty()) << name;
    }
}

TEST(TIniPlus, UpdateFileMakesTheFolderAndReplacesTheFileWhole) {
    test::TempDir dir;
    TIniPlus ini(dir / "new" / "torvale" / "torvale.ini");
    ini.WriteString("General", "YaBB", "x");
    ASSERT_TRUE(ini.UpdateFile().ok);
    EXPECT_EQ(test::readBytes(ini.FileName()), "[General]\r\nYaBB=x\r\n");

    test::writeBytes(dir / "blocked", "a file where a folder should be");
    TIniPlus blocked(dir / "blocked" / "torvale.ini");
    const WriteResult result = blocked.UpdateFile();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}
