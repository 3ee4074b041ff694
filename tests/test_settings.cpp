// LoadSettings and SaveSettings over whole files, both columns of defaults,
// the recent-files rules and where the settings file lives.
#include "settings/recent_files.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torvale;

namespace {

// This desktop's fixed font, as the window passes it.
const FontDescription kFresh = [] {
    FontDescription f;
    f.name = "DejaVu Sans Mono";
    f.size = 10;
    return f;
}();

Settings loaded(std::string_view text, Settings settings = {}) {
    TIniPlus ini;
    ini.Parse(text);
    LoadSettings(ini, settings, kFresh);
    return settings;
}

std::string saved(const Settings& settings, std::string_view previous = {}) {
    TIniPlus ini;
    ini.Parse(previous);
    SaveSettings(ini, settings);
    return ini.Text();
}

std::string general(const std::string& tree, const std::string& font, const std::string& max,
                    const std::string& bounds = "Left=265\r\nTop=244\r\nWidth=621\r\nHeight=574\r\n"
                                                "State=0\r\n") {
    return "[General]\r\nYaBB=\r\nBoardMod=\r\nTree_Width=" + tree +
           "\r\nYour_Name=\r\nYour_Homepage=\r\nEditor_Font=" + font + "\r\nMRU_Max_Number=" + max +
           "\r\nAssociation=0\r\n" + bounds;
}

} // namespace

TEST(Settings, WithNoFileTheDesignedValuesAreWritten) {
    Settings none;
    none.Editor_Font = kFresh;
    EXPECT_EQ(saved(none), general("218", "DejaVu Sans Mono,10,0000,clWindowText", "0"))
        << "no [MRU] section for an empty list";
}

TEST(Settings, MissingKeysTakeTheirOwnDefaults) {
    Settings start;
    start.Left = 10, start.Top = 20, start.Width = 300, start.Height = 200, start.State = 2;
    start.MRU = {"stale.mod"};
    const Settings s = loaded("[General]\r\n", start);
    EXPECT_EQ(s.Tree_Width, 200);
    EXPECT_EQ(s.MRU_Max_Number, 10);
    EXPECT_EQ(s.Editor_Font, kFresh);
    EXPECT_FALSE(s.Association);
    EXPECT_TRUE(s.MRU.empty());
    EXPECT_EQ(saved(s), general("200", "DejaVu Sans Mono,10,0000,clWindowText", "10",
                                "Left=10\r\nTop=20\r\nWidth=300\r\nHeight=200\r\nState=0\r\n"))
        << "the bounds keep the window's values; a missing State is normal";
    EXPECT_EQ(loaded("[General]\r\nTree_Width=wide\r\nMRU_Max_Number=\r\nLeft=x\r\n", start),
              loaded("[General]\r\n", start))
        << "a number that is no number counts as missing";
}

// The file of a portable copy in the wild: hexadecimal, a Windows font, a gap
// in the list and entries above the maximum.
TEST(Settings, AFileFromTheWildIsWrittenBackCleanAndInOrder) {
    const std::string file = "[General]\r\nTree_Width=0x80\r\n"
                             "Editor_Font=Arial,9,1x1y,$00FF0000\r\nMRU_Max_Number=3\r\n"
                             "[MRU]\r\nMRU0=/m/a.mod\r\nMRU1=\r\nMRU2=/m/c.mod\r\n"
                             "MRU3=/m/d.mod\r\nMRU4=/m/e.mod\r\n";
    const Settings s = loaded(file);
    EXPECT_EQ(s.Tree_Width, 128);
    EXPECT_EQ(s.MRU, (std::vector<std::string>{"/m/a.mod", "/m/c.mod"}));
    EXPECT_EQ(saved(s, file), general("128", "Arial,9,1010,clBlue", "3") +
                                  "[MRU]\r\nMRU0=/m/a.mod\r\nMRU1=/m/c.mod\r\n");
}

TEST(Settings, KeysOfOthersStayAndGarbageGoes) {
    const std::string file = "junk\r\n[Window]\r\nDock=left\r\n[General]\r\nTheme=dark\r\n"
                             "YaBB=/f/YaBB.pl\r\n\x01\x02garbage\r\n[MRU]\r\nMRU9=/x.mod\r\n";
    Settings s = loaded(file);
    s.MRU = {"/y.mod"};
    const std::string text = saved(s, file);
    EXPECT_TRUE(text.starts_with("[General]\r\nYaBB=/f/YaBB.pl\r\n")) << text;
    EXPECT_TRUE(text.ends_with("State=0\r\nTheme=dark\r\n[MRU]\r\nMRU0=/y.mod\r\n"
                               "[Window]\r\nDock=left\r\n"))
        << text;
    EXPECT_EQ(text.find("garbage"), std::string::npos);
}

TEST(Settings, StateIsReadFromItsLowByte) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", wsNormal}, {"1", wsMinimized}, {"2", wsMaximized}, {"258", wsMaximized},
        {"7", -1},       {"-1", -1},         {"x", wsNormal},    {"256", wsNormal}};
    for (const auto& [text, state] : cases) {
        Settings start;
        start.State = -1; // "as it was"
        EXPECT_EQ(loaded(std::string("[General]\nState=") + text + "\n", start).State, state)
            << text;
    }
}

// Any value saved reads back the same, through the file's text.
TEST(Settings, EverySettingsValueSurvivesSavingAndLoading) {
    std::mt19937 rng(3);
    const auto text = [&] {
        std::string s;
        for (std::size_t n = rng() % 12; n > 0; --n)
            s += "/a B=;[]\\\xC3\xA9$"[rng() % 12];
        while (!s.empty() && (s.front() == ' ' || s.back() == ' '))
            s.erase(s.front() == ' ' ? 0 : s.size() - 1, 1);
        return s;
    };
    for (int i = 0; i < 300; ++i) {
        Settings s;
        s.YaBB = text(), s.BoardMod = text(), s.Your_Name = text(), s.Your_Homepage = text();
        s.Tree_Width = std::int32_t(rng()) >> (rng() % 32);
        s.Editor_Font.name = "F" + text().substr(0, 20);
        std::erase(s.Editor_Font.name, ',');
        while (s.Editor_Font.name.back() == ' ')
            s.Editor_Font.name.pop_back();
        s.Editor_Font.size = std::int32_t(rng() % 100) - 10;
        s.Editor_Font.italic = rng() % 2;
        s.Editor_Font.color = std::int32_t(rng());
        s.MRU_Max_Number = std::int32_t(rng() % 40) - 5;
        for (std::int32_t n = 0; n < s.MRU_Max_Number && rng() % 4; ++n)
            s.MRU.push_back("/" + text());
        s.Association = rng() % 2;
        s.Left = std::int32_t(rng()), s.Top = -std::int32_t(rng() % 500);
        s.Width = std::int32_t(rng() % 5000), s.Height = std::int32_t(rng() % 5000);
        s.State = std::int32_t(rng() % 3);
        EXPECT_EQ(loaded(saved(s)), s) << saved(s);
    }
}

TEST(RecentFiles, AddKeepsPlacesIgnoresCaseAndTrimsTheOldest) {
    using List = std::vector<std::string>;
    const struct {
        List list;
        const char* added;
        std::int32_t max;
        List expected;
    } cases[] = {
        {{"A", "B"}, "C", 10, {"A", "B", "C"}},
        {{"A", "B", "C"}, "B", 10, {"A", "B", "C"}},
        {{"c:\\mods\\A.MOD"}, "C:\\Mods\\a.mod", 10, {"c:\\mods\\A.MOD"}},
        {{"/m/\xC3\xA9.mod"}, "/m/\xC3\x89.mod", 10, {"/m/\xC3\xA9.mod", "/m/\xC3\x89.mod"}},
        {{"A", "B", "C"}, "D", 3, {"B", "C", "D"}},
        {{}, "A", 0, {}},
        {{"A", "B"}, "C", -4, {}},
        {{"A", "B", "C", "D"}, "A", 2, {"A", "B", "C", "D"}}, // found: nothing trimmed
    };
    for (const auto& c : cases) {
        List list = c.list;
        AddMRU(list, c.added, c.max);
        EXPECT_EQ(list, c.expected) << c.added << " max " << c.max;
    }
    List list = {"A", "B", "C", "D", "E", "F"};
    CheckMRU(list, 3);
    EXPECT_EQ(list, (List{"D", "E", "F"}));
    CheckMRU(list, 32);
    EXPECT_EQ(list.size(), 3u);
    CheckMRU(list, std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(list.empty());
}

namespace {

// settingsFileFor as a user who cannot write where root can.
std::string settingsFileAsNobody(const std::filesystem::path& program,
                                 const std::filesystem::path& config) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "<no pipe>";
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(1);
        const std::string path = settingsFileFor(program, config).string();
        _exit(write(pipeEnds[1], path.data(), path.size()) == ssize_t(path.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, std::size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return result;
}

} // namespace

TEST(SettingsFile, BesideTheProgramWhenPossibleElseInTheConfigFolder) {
    test::TempDir dir;
    for (const char* folder : {"writable", "readonly", "readonly-with-file"})
        std::filesystem::create_directory(dir / folder);
    test::writeBytes(dir / "readonly-with-file" / "torvale.ini", "");
    chmod((dir / "writable").c_str(), 0777);
    chmod((dir / "readonly").c_str(), 0555);
    chmod((dir / "readonly-with-file").c_str(), 0555);
    chmod(dir.path().c_str(), 0755);

    const std::filesystem::path config = "/home/u/.config";
    EXPECT_EQ(settingsFileAsNobody(dir / "writable" / "torvale", config),
              (dir / "writable" / "torvale.ini").string());
    EXPECT_EQ(settingsFileAsNobody(dir / "readonly-with-file" / "torvale", config),
              (dir / "readonly-with-file" / "torvale.ini").string());
    EXPECT_EQ(settingsFileAsNobody(dir / "readonly" / "torvale", config),
              "/home/u/.config/torvale/torvale.ini");
    EXPECT_EQ(settingsFileFor(dir / "writable" / "editor.exe", config),
              dir / "writable" / "editor.ini");
}
