// The files the forum link reads: path.cfg, and forum sources for the view.
#include "forum/forum_file.h"
#include "forum/path_cfg.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace torvale;

TEST(PathCfg, TheFirstLineAsWrittenIsTheLocation) {
    struct Case {
        std::string content;
        bool ok;
        std::string location;
    };
    const Case cases[] = {
        {"/srv/yabb/YaBB.pl", true, "/srv/yabb/YaBB.pl"},
        {"  /srv/yabb/YaBB.pl \r\nsecond\r\n", true, "  /srv/yabb/YaBB.pl "},
        {"C:\\yabb\\YaBB.cgi\nsecond", true, "C:\\yabb\\YaBB.cgi"},
        {"/a b/YaBB.pl\rsecond", true, "/a b/YaBB.pl"},
        {"\xEF\xBB\xBF/srv/yabb/YaBB.pl\r\n", true, "/srv/yabb/YaBB.pl"}, // Notepad's UTF-8
        {"\xEF\xBB\xBF", true, ""},
        {"", true, ""},
        {"\r\n/srv/yabb/YaBB.pl\r\n", true, ""},
        {std::string("/srv/yabb/YaBB.pl\0\x01\x02", 20), false, ""},
        {std::string(2 << 20, 'x'), false, ""},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        test::writeBytes(dir / "path.cfg", c.content);
        const PathCfg cfg = LoadFrom_path_cfg(dir.path().string() + "/");
        EXPECT_EQ(cfg.ok, c.ok) << c.content.substr(0, 40);
        EXPECT_EQ(cfg.location, c.location);
        EXPECT_EQ(cfg.error.empty(), c.ok) << cfg.error;
    }
    test::TempDir empty;
    const PathCfg missing = LoadFrom_path_cfg(empty.path().string() + "/");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "No such file or directory.");
}

TEST(LoadForumFile, ShowsTextAndSaysWhyOtherwise) {
    using Status = ForumFile::Status;
    test::TempDir dir;
    test::writeBytes(dir / "utf8.pl", "caf\xc3\xa9\r\n");
    test::writeBytes(dir / "cp1252.pl", "caf\xe9\r\n");
    test::writeBytes(dir / "empty.pl", "");
    test::writeBytes(dir / "binary.gif", std::string("GIF89a\0\0", 8));
    test::writeBytes(dir / "big.pl", std::string(3 << 20, 'x'));
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);

    struct Case {
        std::string path;
        Status status;
        std::string error;
    };
    const auto at = [&](const char* name) { return (dir / name).string(); };
    const Case cases[] = {
        {at("utf8.pl"), Status::Loaded, ""},
        {at("cp1252.pl"), Status::Loaded, ""},
        {at("empty.pl"), Status::Loaded, ""},
        {at("missing.pl"), Status::NotFound, ""},
        {at("utf8.pl/below"), Status::NotFound, ""},
        {at("folder"), Status::NotFound, ""},
        {"", Status::NotFound, ""},
        {at("binary.gif"), Status::Refused, "It holds NUL bytes, so it is not a text file."},
        {at("big.pl"), Status::Refused, "It is larger than 2 MiB."},
        {at("pipe"), Status::Refused, "It is not a regular file."},
        // A file the system lists but cannot read.
        {"/proc/self/mem", Status::Unreadable, "Input/output error."},
    };
    for (const Case& c : cases) {
        const ForumFile file = loadForumFile(c.path, std::size_t(2) << 20);
        EXPECT_EQ(file.status, c.status) << c.path;
        EXPECT_EQ(file.error, c.error) << c.path;
        if (c.status != Status::Loaded) {
            EXPECT_TRUE(file.content.bytes.empty()) << c.path;
        }
    }
    const ForumFile utf8 = loadForumFile(at("utf8.pl"));
    EXPECT_EQ(utf8.content.bytes, "caf\xc3\xa9\r\n");
    EXPECT_EQ(utf8.encoding, TextEncoding::Utf8);
    EXPECT_EQ(loadForumFile(at("cp1252.pl")).encoding, TextEncoding::Windows1252);
}
