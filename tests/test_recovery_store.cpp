// Recovery copies: where they go, that a failed write keeps the last good one,
// and that only copies of programs that ended are offered, to one instance.
#include "document/mod_assembler.h"
#include "document/recovery_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <optional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torvale;
using namespace torvale::test;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the scope, or unsets it for nullptr.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

RecoveryCopy sampleCopy(std::string text) {
    RecoveryCopy copy;
    copy.path = "/home/me/mods/odd\\name\nwith break.mod";
    copy.encoding = TextEncoding::Windows1252;
    copy.writtenAt = 1765180800;
    copy.diskStamp = FileStamp{1765180000123456789, 4242};
    copy.text = std::move(text);
    return copy;
}

// Runs body in a child process that then ends at once, without cleaning up,
// as a killed program would.
void inDyingProcess(const std::function<void()>& body) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
}

std::size_t filesIn(const fs::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

} // namespace

TEST(RecoveryFolder, FollowsTheXdgStateHome) {
    const struct {
        const char* state;
        const char* home;
        const char* folder;
    } cases[] = {
        {"/tmp/state", "/home/me", "/tmp/state/torvale/recovery"},
        {"relative/state", "/home/me", "/home/me/.local/state/torvale/recovery"},
        {"", "/home/me", "/home/me/.local/state/torvale/recovery"},
        {nullptr, "/home/me", "/home/me/.local/state/torvale/recovery"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        const ScopedEnv state("XDG_STATE_HOME", c.state);
        const ScopedEnv home("HOME", c.home);
        EXPECT_EQ(recoveryFolder(), fs::path(c.folder)) << (c.state ? c.state : "(unset)");
    }
}

TEST(RecoveryCopyFormat, KeepsEveryFieldAndNothingIsLostFromADamagedOne) {
    const RecoveryCopy copy = sampleCopy("<id>\r\nx\r\n</id>\r\n\r\n\n");
    EXPECT_EQ(decodeRecoveryCopy(encodeRecoveryCopy(copy)), copy);
    RecoveryCopy untitled;
    untitled.writtenAt = 7;
    EXPECT_EQ(decodeRecoveryCopy(encodeRecoveryCopy(untitled)), untitled);

    // The document itself, with texts that its mod text would not give back:
    // an empty first line, lines holding tags, any bytes.
    ModDocument doc;
    doc.setProperty(Property::ModInfo, "\r\nfirst line empty");
    Node* file = doc.appendNode(nullptr, TItem{"<id>", akEditFile, "", ""}, LabelForm::Edited);
    doc.appendNode(file, TItem{"", akSearchReplace, "a\r\n</search for>\r\n<replace>\r\nb",
                               std::string("\0\n12:x\r", 7)});
    RecoveryCopy ofDocument = sampleCopy("");
    ofDocument.document = snapshotOf(doc);
    const std::string encoded = encodeRecoveryCopy(ofDocument);
    EXPECT_EQ(decodeRecoveryCopy(encoded), ofDocument);

    const std::string header = encoded.substr(0, encoded.find("\n\n") + 2);
    for (const std::string& damaged : std::vector<std::string>{
             encoded.substr(0, 30), encoded.substr(0, encoded.size() - 1), encoded + "x",
             header + "nodes 1\n0:\n0:\n0:\n0:\n0:\n1 1 0\n0:\n0:\n0:\n",
             header + "nodes 9999\n0:\n0:\n0:\n0:\n0:\n",
             "Torvale recovery copy 1\nwritten soon\n\ntext", "<id>x</id>"}) {
        const RecoveryCopy read = decodeRecoveryCopy(damaged);
        EXPECT_EQ(read.text, damaged);
        EXPECT_EQ(read.path, "");
    }
}

TEST(RecoveryStore, AFailedWriteKeepsTheLastGoodCopy) {
    TempDir dir;
    RecoveryStore store(dir / "recovery");
    ASSERT_TRUE(store.write(sampleCopy("first")));
    EXPECT_TRUE(fs::exists(dir / "recovery" / (store.id() + ".copy")));

    // A file-size limit fails the write half-way, like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    const bool written = store.write(sampleCopy(std::string(100000, 'x')), &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.empty());

    const auto kept = readBytes(dir / "recovery" / (store.id() + ".copy"));
    EXPECT_EQ(decodeRecoveryCopy(kept).text, "first");
    EXPECT_EQ(filesIn(dir / "recovery"), 2u) << "the copy and its lock, no temporary file";
}

TEST(RecoveryStore, OffersOnlyCopiesOfEndedProgramsToOneInstanceAtATime) {
    TempDir dir;
    const fs::path folder = dir / "recovery";
    auto running = std::make_unique<RecoveryStore>(folder);
    ASSERT_TRUE(running->write(sampleCopy("still running")));
    inDyingProcess([&] {
        auto* killed = new RecoveryStore(folder); // never destroyed, as after SIGKILL
        killed->write(sampleCopy("killed"));
    });
    inDyingProcess([&] {
        // Ended with nothing unsaved: only its lock file stays behind.
        auto* clean = new RecoveryStore(folder);
        clean->write(sampleCopy("saved later"));
        clean->remove();
    });
    ASSERT_EQ(filesIn(folder), 5u);

    RecoveryStore first(folder);
    std::vector<OrphanCopy> offered = first.claimOrphans();
    ASSERT_EQ(offered.size(), 1u) << "not the running program's copy";
    EXPECT_EQ(offered[0].copy(), sampleCopy("killed"));
    EXPECT_EQ(filesIn(folder), 4u) << "the lock without a copy is gone";

    RecoveryStore second(folder);
    EXPECT_TRUE(second.claimOrphans().empty()) << "claimed by the first";
    offered.clear(); // the first lets it go without a decision
    std::vector<OrphanCopy> again = second.claimOrphans();
    ASSERT_EQ(again.size(), 1u);

    EXPECT_TRUE(second.adopt(std::move(again[0])));
    EXPECT_TRUE(second.hasCopy());
    EXPECT_TRUE(first.claimOrphans().empty()) << "now the copy of a running program";

    running.reset();
    EXPECT_EQ(filesIn(folder), 2u) << "a clean end leaves nothing: only the adopted copy";
}

TEST(RecoveryWriter, WritesTheSnapshotAndRemovesIt) {
    TempDir dir;
    RecoveryStore store(dir / "recovery");
    ModDocument doc;
    doc.setProperty(Property::Id, "Recovered");
    doc.appendNode(doc.appendNode(nullptr, TItem{"Sources/Post.pl", akEditFile, "", ""}),
                   TItem{"", akSearchAddAfter, "find me", "added"});
    {
        RecoveryWriter writer(store);
        RecoveryCopy copy;
        copy.path = "/tmp/x.mod";
        writer.write(snapshotOf(doc), copy);
        writer.wait();
        EXPECT_EQ(writer.lastError(), "");
        const RecoveryCopy written =
            decodeRecoveryCopy(readBytes(dir / "recovery" / (store.id() + ".copy")));
        EXPECT_EQ(written.document, snapshotOf(doc));
        EXPECT_EQ(written.path, "/tmp/x.mod");
        EXPECT_GT(written.writtenAt, 0);
        writer.remove();
        writer.wait();
        EXPECT_FALSE(store.hasCopy());
    }
}
