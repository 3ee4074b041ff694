#include "document/file_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
