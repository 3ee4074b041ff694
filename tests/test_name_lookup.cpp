// ExpandShortName and the resolution of edit-file names: a Windows drive with
// short names simulated, and a real folder tree with names in other cases.
#include "forum/forum_file.h"
#include "forum/name_lookup.h"
#include "forum/paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

using namespace torvale;

namespace {

// A Windows drive as FindFirstFileA sees it: short names and any letter case
// find the entry's long name.
std::optional<std::string> windowsDrive(const std::string& directory, const std::string& name) {
    static const std::map<std::string, std::string> entries = {
        {"C:\\PROGRA~1", "Program Files"},
        {"C:\\PROGRAM FILES", "Program Files"},
        {"C:\\Program Files\\YABB", "YaBB"},
        {"C:\\Program Files\\YaBB\\MYMODS~1.MOD", "My Mods.mod"},
        {"C:\\Program Files\\YaBB\\SOURCES", "Sources"},
    };
    std::string key = directory + name;
    for (std::size_t i = directory.size(); i < key.size(); ++i)
        key[i] = char(std::toupper(static_cast<unsigned char>(key[i])));
    const auto it = entries.find(key);
    return it == entries.end() ? std::nullopt : std::optional(it->second);
}

} // namespace

TEST(ExpandShortName, ReplacesEachComponentFromTheDriveDown) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\PROGRA~1\\yabb\\MYMODS~1.MOD", "C:\\Program Files\\YaBB\\My Mods.mod"},
        {"C:\\progra~1\\YABB\\", "C:\\progra~1\\YABB\\"}, // a folder ends the lookup
        // What is not found stays, and the expansion goes on below it.
        {"C:\\PROGRA~1\\Missing\\x.mod", "C:\\Program Files\\Missing\\x.mod"},
        {"C:\\nothing\\here.mod", "C:\\nothing\\here.mod"},
        {"C:\\", "C:\\"},
        {"C:", "C:"},
        {"", ""},
        {"\\\\srv\\share\\x.mod", "\\\\srv\\share\\x.mod"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(ExpandShortName(name, kWindowsPaths, windowsDrive), expected) << name;
}

// On this system a component that is missing as written but present in
// another letter case is taken as stored; the exact name always wins.
TEST(ExpandShortName, FindsNamesInAnotherLetterCaseOnDisk) {
    test::TempDir dir;
    const std::string root = dir.path().string() + "/";
    std::filesystem::create_directories(dir / "Forum/Sources");
    std::filesystem::create_directories(dir / "Forum/Admin");
    for (const char* file : {"Forum/Sources/Post.pl", "Forum/Sources/post.pl",
                             "Forum/Sources/Subs.pm", "Forum/Admin/ModList.pm"})
        test::writeBytes(dir / file, "x");
    const std::pair<const char*, const char*> cases[] = {
        {"Forum/Sources/Post.pl", "Forum/Sources/Post.pl"},
        {"Forum/Sources/post.pl", "Forum/Sources/post.pl"},
        {"forum/SOURCES/POST.PL", "Forum/Sources/Post.pl"}, // first in byte order
        {"FORUM/sources/subs.PM", "Forum/Sources/Subs.pm"},
        {"forum/admin/modlist.pm", "Forum/Admin/ModList.pm"},
        {"forum/Sourcez/post.pl", "Forum/Sourcez/post.pl"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(ExpandShortName(root + name), root + expected) << name;
    EXPECT_EQ(ExpandShortName("/"), "/");
    EXPECT_EQ(ExpandShortName("/no-such-dir/X"), "/no-such-dir/X");
}

TEST(ResolveEditFile, JoinsRelativeNamesAndKeepsAbsoluteOnes) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "cgi-bin/Sources");
    std::filesystem::create_directories(dir / "yabbfiles");
    test::writeBytes(dir / "cgi-bin/Sources/Post.pl", "x");
    test::writeBytes(dir / "yabbfiles/x.js", "x");
    const std::string top = dir.path().string();
    const std::string forum = top + "/cgi-bin/";
    std::string climbAboveTheRoot;
    for (int i = 0; i < 40; ++i)
        climbAboveTheRoot += "../";
    climbAboveTheRoot += "x.pl";
    const std::pair<std::string, std::string> cases[] = {
        {"Sources/Post.pl", forum + "Sources/Post.pl"},
        {"sources/post.pl", forum + "Sources/Post.pl"},
        {"./Sources/Post.pl", forum + "Sources/Post.pl"},
        {"../yabbfiles/x.js", top + "/yabbfiles/x.js"},
        {"../YabbFiles/X.JS", top + "/yabbfiles/x.js"},
        {top + "/yabbfiles/x.js", top + "/yabbfiles/x.js"},
        {"Sources/Missing.pl", forum + "Sources/Missing.pl"},
        {"", ""},
        {climbAboveTheRoot, ""},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(resolveEditFile(forum, name), expected) << name;
    // No forum location: relative names lead nowhere.
    EXPECT_EQ(resolveEditFile("", "Sources/Post.pl"), "");

    // In the Windows style a drive or a leading backslash is absolute too.
    EXPECT_EQ(
        resolveEditFile("C:\\Program Files\\YaBB\\", "sources/x.pl", kWindowsPaths, windowsDrive),
        "C:\\Program Files\\YaBB\\Sources\\x.pl");
    EXPECT_EQ(
        resolveEditFile("C:\\Program Files\\YaBB\\", "D:/work/x.pl", kWindowsPaths, windowsDrive),
        "D:\\work\\x.pl");
    EXPECT_EQ(
        resolveEditFile("C:\\Program Files\\YaBB\\", "/progra~1/x.pl", kWindowsPaths, windowsDrive),
        "\\progra~1\\x.pl");
}

// Names no file can have (60,000 folders deep, a folder name past the
// system's limit, folders that are links round in a loop) resolve without
// harm, and reading them finds nothing and says why, instead of failing.
TEST(ResolveEditFile, NamesThatCannotExistAreNotFoundWithTheirReason) {
    test::TempDir dir;
    const std::string forum = dir.path().string() + "/";
    std::filesystem::create_directory_symlink("loop", dir / "loop");
    std::string deep;
    for (int i = 0; i < 60000; ++i)
        deep += "a/";
    deep += "x.pl";
    const std::pair<std::string, std::string> cases[] = {
        {deep, "longer than"},
        {"Sources/" + std::string(300, 'n') + "/x.pl", "longer than"},
        {"loop/Sources/x.pl", "loop"},
        {"LOOP/x.pl", "loop"}, // found in another letter case first
    };
    for (const auto& [name, reason] : cases) {
        const std::string path = resolveEditFile(forum, name);
        EXPECT_TRUE(path.ends_with("x.pl")) << name.substr(0, 80);
        const ForumFile file = loadForumFile(path);
        EXPECT_EQ(file.status, ForumFile::Status::NotFound) << name.substr(0, 80);
        EXPECT_NE(file.error.find(reason), std::string::npos) << file.error;
    }
    EXPECT_EQ(ExpandShortName(forum + deep), forum + deep);
}
