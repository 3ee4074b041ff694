// The settings file on disk: one that cannot be read is set aside, never
// written over, and nothing is written that the reader would not give back.
#include "settings/settings_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;

namespace {

Settings someSettings() {
    Settings s;
    s.YaBB = "/srv/forum/YaBB.pl";
    s.MRU_Max_Number = 4;
    s.MRU = {"/m/a.mod"};
    return s;
}

} // namespace

// At start and at exit alike: the unreadable file keeps every byte under the
// name the outcome gives, and a readable file with the settings takes its
// place. A name already taken by an older one is not written over either.
TEST(SettingsFile, AnUnreadableFileIsSetAsideAndNeverWrittenOver) {
    const std::string keys = "[General]\r\nYaBB=/old/YaBB.pl\r\n[Other]\r\nKey=kept\r\n";
    const std::string unreadable[] = {
        keys + std::string("\0", 1),                          // a NUL after the keys
        keys + std::string(TIniPlus::kMaxFileSize, ';'),       // over the size limit
        std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10) + keys, // binary
    };
    for (const std::string& content : unreadable) {
        test::TempDir dir;
        const auto path = dir / "torvale.ini";
        test::writeBytes(dir / "torvale.ini.bad", "an older one");
        test::writeBytes(path, content);
        TIniPlus ini(path);
        const SettingsFileOutcome start = loadSettingsFile(ini);
        EXPECT_FALSE(start.error.empty());
        EXPECT_EQ(start.keptAs, dir / "torvale.ini.bad2");
        EXPECT_EQ(test::readBytes(start.keptAs), content);
        EXPECT_EQ(test::readBytes(dir / "torvale.ini.bad"), "an older one");

        const SettingsFileOutcome exit = saveSettingsFile(path, someSettings());
        EXPECT_TRUE(exit.error.empty()) << exit.error;
        TIniPlus written(path);
        ASSERT_EQ(written.Load(), "");
        EXPECT_EQ(written.ReadString("General", "YaBB", ""), "/srv/forum/YaBB.pl");

        // Made unreadable while the program ran: set aside at exit.
        test::writeBytes(path, content);
        const SettingsFileOutcome late = saveSettingsFile(path, someSettings());
        EXPECT_FALSE(late.error.empty());
        EXPECT_EQ(late.keptAs, dir / "torvale.ini.bad3");
        EXPECT_EQ(test::readBytes(late.keptAs), content);
        EXPECT_EQ(written.Load(), "");
    }
    test::TempDir dir;
    TIniPlus missing(dir / "torvale.ini");
    EXPECT_EQ(loadSettingsFile(missing).error, "") << "no file yet: the defaults, no message";
}

// Random values with line breaks, NULs and lengths past the reader's limit:
// what is written reads back as the plain rule says (cut at the first line
// break or NUL, then at kMaxValueLength bytes; a recent file that would not
// read back as itself left out), and the file stays within the read limit.
TEST(SettingsFile, NothingIsWrittenThatTheReaderWouldRefuse) {
    std::mt19937 rng(11);
    const auto value = [&] {
        std::string s(rng() % 3 == 0 ? 2000 + rng() % 200 : rng() % 8, 'v');
        for (char& c : s)
            if (rng() % 50 == 0)
                c = "\r\n\0x"[rng() % 4];
        return s;
    };
    const auto rule = [](const std::string& s) {
        return s.substr(0, std::min(s.find_first_of(std::string("\r\n\0", 3)),
                                    TIniPlus::kMaxValueLength));
    };
    for (int round = 0; round < 100; ++round) {
        Settings s;
        s.YaBB = "/" + value(), s.Your_Name = "n" + value(), s.Your_Homepage = "h" + value();
        s.MRU_Max_Number = 600;
        for (int n = rng() % 600; n > 0; --n)
            s.MRU.push_back("/" + value());
        TIniPlus ini;
        SaveSettings(ini, s);
        const std::string text = ini.Text();
        ASSERT_LE(text.size(), TIniPlus::kMaxFileSize);
        ASSERT_EQ(text.find('\0'), std::string::npos);
        TIniPlus back;
        back.Parse(text);
        Settings read;
        LoadSettings(back, read, {});
        EXPECT_EQ(read.YaBB, rule(s.YaBB));
        EXPECT_EQ(read.Your_Name, rule(s.Your_Name));
        EXPECT_EQ(read.Your_Homepage, rule(s.Your_Homepage));
        std::vector<std::string> clean;
        for (const std::string& path : s.MRU)
            if (rule(path) == path)
                clean.push_back(path);
        // The oldest go first when the list does not fit.
        ASSERT_LE(read.MRU.size(), clean.size());
        EXPECT_TRUE(std::equal(read.MRU.begin(), read.MRU.end(),
                               clean.end() - std::ptrdiff_t(read.MRU.size())));
        if (read.MRU.size() < clean.size()) {
            EXPECT_GT(text.size() + 2300, TIniPlus::kMaxFileSize) << "the next one would fit";
        }
    }
}

// Keys of others in a file near the limit: LF ends become CR LF, so they no
// longer all fit. The last ones are left out of the new file, and the file
// as it was is set aside with all of them.
TEST(SettingsFile, KeysOfOthersThatNoLongerFitAreKeptInTheOldFile) {
    test::TempDir dir;
    std::string others = "[Other]\n";
    for (int i = 0; others.size() < TIniPlus::kMaxFileSize - 16; ++i)
        others += "k" + std::to_string(i) + "=\n";
    const auto path = dir / "torvale.ini";
    test::writeBytes(path, others);
    const SettingsFileOutcome saved = saveSettingsFile(path, someSettings());
    EXPECT_EQ(saved.keptAs, dir / "torvale.ini.bad");
    EXPECT_EQ(test::readBytes(dir / "torvale.ini.bad"), others);
    TIniPlus written(path);
    ASSERT_EQ(written.Load(), "");
    EXPECT_EQ(written.ReadString("General", "YaBB", ""), "/srv/forum/YaBB.pl");
    EXPECT_EQ(written.ReadString("Other", "k0", "<none>"), "");
}
