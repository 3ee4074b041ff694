#include "document/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torvale;

TEST(ReadFileBytes, ReadsWholeFilesExactly) {
    test::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes.push_back(char(i * 7));
    test::writeBytes(dir / "a.mod", bytes);
    const FileBytes r = readFileBytes(dir / "a.mod", kMaxModFileSize);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.bytes(), bytes);

    test::writeBytes(dir / "empty.mod", "");
    EXPECT_TRUE(readFileBytes(dir / "empty.mod", kMaxModFileSize).ok);
}

TEST(ReadFileBytes, LargeFilesReadExactlyToo) {
    // Large files go to memory of another kind than small ones.
    test::TempDir dir;
    std::string bytes(std::size_t(5) << 20, 'x');
    for (std::size_t i = 0; i < bytes.size(); i += 4093)
        bytes[i] = char(i);
    test::writeBytes(dir / "big.mod", bytes);
    const FileBytes r = readFileBytes(dir / "big.mod", kMaxModFileSize);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.bytes() == bytes);
    EXPECT_EQ(readFileBytes(dir / "big.mod", std::size_t(4) << 20).error,
              "The file is larger than 4 MiB.");
}

TEST(ReadFileBytes, MappedFilesReadTheSame) {
    test::TempDir dir;
    test::writeBytes(dir / "a.mod", test::sampleModText());
    test::writeBytes(dir / "empty.mod", "");
    for (const char* name : {"a.mod", "empty.mod"}) {
        const FileBytes copied = readFileBytes(dir / name, kMaxModFileSize, FileAccess::Copy);
        const FileBytes mapped = readFileBytes(dir / name, kMaxModFileSize, FileAccess::Map);
        ASSERT_TRUE(copied.ok && mapped.ok) << name;
        EXPECT_EQ(mapped.bytes(), copied.bytes()) << name;
    }
    EXPECT_EQ(readFileBytes(dir / "a.mod", 10, FileAccess::Map).error,
              "The file is larger than 10 bytes.");
    EXPECT_EQ(readFileBytes(dir / "none.mod", 10, FileAccess::Map).error,
              "No such file or directory.");
}

TEST(ReadFileBytes, ExplainsWhatCannotBeRead) {
    test::TempDir dir;
    FileBytes r = readFileBytes(dir / "missing.mod", kMaxModFileSize);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "No such file or directory.");

    r = readFileBytes(dir.path(), kMaxModFileSize);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "It is a folder, not a file.");

    test::writeBytes(dir / "big.mod", std::string(2048, 'x'));
    r = readFileBytes(dir / "big.mod", 1024);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "The file is larger than 1024 bytes.");
    EXPECT_TRUE(r.bytes().empty());
}

TEST(ReadFileBytes, SpecialFilesAreCutAtTheLimit) {
    // /dev/zero reports no size and never ends.
    const FileBytes r = readFileBytes("/dev/zero", std::size_t(1) << 20);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "The file is larger than 1 MiB.");
}

namespace {

// writeFileAtomically in a child process whose files may not grow past limit
// bytes, as on a full disk; true when it reported success.
bool writeWithSizeLimit(const std::filesystem::path& path, const std::string& bytes,
                        rlim_t limit) {
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit small{limit, limit};
        setrlimit(RLIMIT_FSIZE, &small);
        _exit(writeFileAtomically(path, bytes).ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileAsItWas) {
    test::TempDir dir;
    const std::string old = "[General]\r\nTree_Width=128\r\n";
    test::writeBytes(dir / "a.ini", old);
    EXPECT_FALSE(writeWithSizeLimit(dir / "a.ini", std::string(100000, 'x'), 4096));
    EXPECT_EQ(test::readBytes(dir / "a.ini"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file is left behind";
    EXPECT_TRUE(writeWithSizeLimit(dir / "a.ini", "new", 4096));
    EXPECT_EQ(test::readBytes(dir / "a.ini"), "new");

    std::filesystem::create_directory(dir / "folder");
    const WriteResult folder = writeFileAtomically(dir / "folder", "x");
    EXPECT_FALSE(folder.ok);
    EXPECT_EQ(folder.error, "It is a folder, not a file.");
    EXPECT_EQ(writeFileAtomically(dir / "missing" / "a.ini", "x").error,
              "No such file or directory.");
}

TEST(WriteFileAtomically, KeepsPermissionsAndSymbolicLinks) {
    test::TempDir dir;
    test::writeBytes(dir / "real.ini", "old");
    chmod((dir / "real.ini").c_str(), 0640);
    std::filesystem::create_symlink("real.ini", dir / "link.ini");
    ASSERT_TRUE(writeFileAtomically(dir / "link.ini", "new").ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(test::readBytes(dir / "real.ini"), "new");
    struct stat st {};
    stat((dir / "real.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}
