// A forum file as YaBB's installer holds it while it installs a mod: an array
// of lines as Perl reads them, searched by their text without carriage
// returns, with lines of the mod spliced in and taken out.
#pragma once

#include "block_storage.h"
#include "byte_chunks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// The lines of a file as Perl's <$FILE> gives them: each up to and with its
// "\n", the last one without when the bytes do not end with one.
std::vector<std::string_view> perlLines(std::string_view bytes);
// The same, a large text split by two threads; and when asked, whether every
// carriage return in it stands right before a line feed.
std::vector<std::string_view> perlLinesInParallel(std::string_view bytes,
                                                  bool* crsOnlyBeforeLf = nullptr);
// Whether every carriage return in bytes stands right before a line feed:
// then the key of each of its lines is the line less its line end.
bool crsOnlyBeforeLfs(std::string_view bytes);

// A line without its final line feed, when it has one.
inline std::string_view withoutLf(std::string_view line) {
    return line.ends_with('\n') ? line.substr(0, line.size() - 1) : line;
}

// What the installer compares of a line: its bytes without any carriage
// return and without its final line feed.
std::string lineKey(std::string_view line);
// The key of a line without its line feed, when it lies in the line's own
// bytes: no carriage return, or only one at its end (a CR LF line); else
// nothing, and it needs a copy.
// With crOnlyAtEnd, known of a text whose every carriage return stands right
// before a line feed, no look through the line is needed.
inline std::optional<std::string_view> keyInPlace(std::string_view bare, bool crOnlyAtEnd = false) {
    if (crOnlyAtEnd)
        return bare.ends_with('\r') ? bare.substr(0, bare.size() - 1) : bare;
    const std::size_t cr = bare.find('\r');
    if (cr == std::string_view::npos || cr + 1 == bare.size())
        return bare.substr(0, cr);
    return std::nullopt;
}
// lineKey(line) put at the end of to.
void appendKey(std::string& to, std::string_view line);

// A document's text as the canonical layout writes it and the installer
// reads it back: every line, the last one too (empty after a final line
// break; an empty text is one empty line), carriage returns left out. The
// lines point into text, or into storage where carriage returns were taken out.
std::vector<std::string_view> installerLines(std::string_view text,
                                             std::deque<std::string>& storage);

// Bytes that outlive a file and its copies: the lines put in from them are
// not copied. Whether every carriage return in them stands right before a
// line feed (crsOnlyBeforeLfs) spares a look through each line for others.
struct Lasting {
    Lasting(std::string_view bytes = {}, bool crsOnlyBeforeLfs = false)
        : bytes(bytes), crsOnlyBeforeLfs(crsOnlyBeforeLfs) {}
    std::string_view bytes;
    bool crsOnlyBeforeLfs;
};

class InstallFile {
public:
    // The lines of bytes, split after each line feed as Perl reads a file; the
    // bytes must outlive this object, or owner must hold them. Lines put in
    // later are copied.
    explicit InstallFile(std::string_view bytes, std::shared_ptr<const void> owner = {});
    // A copy costs a pointer a block: the copies share their blocks until one
    // of them changes a block, and the bytes and lines put in for good.
    InstallFile(const InstallFile&) = default;
    InstallFile& operator=(const InstallFile&) = default;
    InstallFile(InstallFile&&) = default;
    InstallFile& operator=(InstallFile&&) = default;

    struct Found {
        std::size_t line;  // counted from 0
        std::size_t again; // the next place the lines stand, or npos
    };
    // The first run of lines whose keys are search, and the next one after
    // it. Never found for a search of no lines.
    std::optional<Found> find(std::span<const std::string_view> search) const;

    std::size_t lineCount() const { return count_; }
    std::string_view key(std::size_t line) const { return lineAt(line).key(); }
    // Every line's key in order, in one sweep (key() of each would look each up).
    std::vector<std::string_view> keys() const;
    // The file as it stands, for another thread to look at while this one
    // goes on changing the file: the keys stay where they are, for the file
    // only ever adds to the bytes they lie in.
    struct Snapshot {
        std::vector<std::string_view> keys;
        std::vector<std::int32_t> origins; // as originOf()
        std::shared_ptr<const void> keeps; // the bytes of the keys
    };
    Snapshot snapshot() const;
    // The line's bytes as they would be written now, its line feed included.
    std::string output(std::size_t line) const { return output(lineAt(line)); }

    // The installer's tr/\r//d on the lines it looked at: from then on they
    // are written without their carriage returns.
    void strip(std::size_t line);
    void stripBefore(std::size_t end);

    // Puts lines, each as read from the mod (its line feed included, when it
    // has one), before line at (lineCount() for the end). The file keeps a
    // copy of them, but of those that lie in lasting, which must outlive
    // the file and its copies.
    void insert(std::size_t at, std::span<const std::string_view> lines, Lasting lasting = {});
    void erase(std::size_t at, std::size_t count);
    // erase(at, count) and insert(at, lines) in one, the lines that come out
    // the same as before kept as the file's own, so that a diff shows only
    // what changes.
    void replace(std::size_t at, std::size_t count, std::span<const std::string_view> lines,
                 Lasting lasting = {});

    // Whether the text differs from the bytes it was made from.
    bool changed() const;
    // The lines as the installer prints them into the file.
    std::string text() const;
    bool textEmpty() const;
    // Whether Perl reading text() back gets these very lines: every line but
    // the last ends with a line feed, and none is empty. Then a copy stands
    // for the file read again.
    bool readsBackAsIs() const;

    // Where a line starts in the bytes; for files that no change has touched.
    std::size_t byteOffset(std::size_t line) const {
        return std::size_t(raw(lineAt(line)).data() - store_->bytes.data());
    }
    // The line's line in the bytes read (by the first of the copies), from 0,
    // or -1 for a line put in.
    std::int64_t originOf(std::size_t line) const;

private:
    // Small, since putting lines in moves those after them. What a step asks
    // of every line it passes is here, not in the line's bytes elsewhere.
    struct Line {
        const char* data; // the key
        std::uint32_t size : 30;
        std::uint32_t bare : 1; // stripped of its carriage returns
        std::uint32_t cr : 1;   // its bytes hold a carriage return
        // >= 0: the line of the bytes; kWholeAtKey: a line of lasting bytes
        // whose key lies in place, the line itself running on from it; else
        // ~index into the store's added.
        std::int32_t origin : 31;
        std::uint32_t noLf : 1;   // it ends without a line feed
        std::string_view key() const { return {data, size}; }
    };
    // What a search looks at first for each block: bits of the hashes of the
    // block's lines and of each two lines in a row, and a byte of each line's
    // hash.
    static constexpr std::size_t kMostLines = 128;
    // The last origin a 31-bit field holds, which leaves room for 2^30 - 1
    // lines in added, more than a mod of 256 MiB has: the lines of a mod put
    // in for good mostly need no entry there.
    static constexpr std::int32_t kWholeAtKey = -(1 << 30);
    struct Summary {
        std::array<std::uint64_t, kMostLines / 8> filter{};
        std::array<std::uint8_t, kMostLines> tags{};
        std::uint32_t stale = 0; // bits of lines gone, or of pairs no longer in a row
    };
    // The lines go in blocks of a few dozen: a change moves only the lines
    // of one block, and copies of the file share the blocks neither changed.
    struct Block {
        Block() noexcept {} // the lines' room is not cleared first
        // First, in the cache line a step looks at in every block it passes.
        std::uint32_t withCr = 0; // lines not yet stripped that hold a carriage return
        // No line before this one holds a carriage return not yet stripped:
        // each step strips the lines it looked at, from the file's start, and
        // would otherwise go through them again and copy their blocks.
        std::uint32_t crFrom = 0;
        Summary summary;
        install::InlineVector<Line, kMostLines> lines;
        install::InlineVector<std::uint64_t, kMostLines> hashes;
    };
    static std::shared_ptr<Block> newBlock() {
        return std::allocate_shared<Block>(install::BlockAllocator<Block>());
    }
    // What the copies of a file share and only ever add to: the bytes read,
    // and the lines put in. A line refers to them by index.
    struct Store {
        std::string_view bytes;
        std::shared_ptr<const void> owner;
        std::vector<std::string_view> raws;  // the lines of bytes, line feeds included
        // The lines put in, and the keys of lines with carriage returns, are
        // copied into chunks.
        std::vector<std::string_view> added;
        ByteChunks chunks;
        std::string_view keep(std::string_view line);
        std::string_view keepKey(std::string_view line); // without its carriage returns
        // The key of a line without its line feed: in place, or kept.
        std::string_view keyOf(std::string_view bare);
    };
    struct Place {
        std::size_t block;
        std::size_t index;
    };

    const Block& block(std::size_t b) const { return *blocks_[b]; }
    // The block to change, copied first when another file shares it.
    Block& own(std::size_t b);
    void refilter(std::size_t block);
    void noteChange(std::size_t block, std::size_t from, std::size_t to, std::size_t removed);
    void noteJoin(std::size_t block);
    Place locate(std::size_t line) const;
    const Line& lineAt(std::size_t line) const;
    bool matchesAt(Place at, std::span<const std::string_view> search,
                   std::span<const std::uint64_t> hashes) const;
    void insertLines(std::size_t at, const std::vector<Line>& lines);
    std::string_view raw(const Line& line) const {
        if (line.origin >= 0)
            return store_->raws[std::size_t(line.origin)];
        if (line.origin == kWholeAtKey) // the key, its carriage return, its line feed
            return {line.data, std::size_t(line.size) + line.cr + !line.noLf};
        return store_->added[std::size_t(~line.origin)];
    }
    static bool lacksLf(const Line& line) { return line.noLf; }
    static bool holdsCr(const Line& line) { return !line.bare && line.cr; }
    // The line of a key in the raw line whole; origin as in Line.
    static Line lineOf(std::string_view key, std::string_view whole, std::int32_t origin);
    std::string output(const Line& line) const;
    Line adopt(std::string_view line, const Lasting& lasting);
    bool stripIn(Block& block, std::size_t from, std::size_t to);

    std::shared_ptr<Store> store_;
    std::vector<std::shared_ptr<Block>> blocks_; // never an empty one
    // The lines of each block, side by side: finding a line's block then
    // reads one array instead of a cache line in every block before it.
    std::vector<std::uint32_t> counts_;
    std::size_t count_ = 0;
    std::size_t withCr_ = 0; // all blocks' withCr
    std::size_t noLf_ = 0;   // lines without a final line feed, empty ones too
    mutable std::vector<std::uint64_t> searchHashes_; // memory for find()
    std::vector<Line> adopted_;                        // memory for insert()
    // Memory for splitting a block, empty between splits.
    std::vector<Line> splitLines_;
    std::vector<std::uint64_t> splitHashes_;
    std::vector<std::shared_ptr<Block>> splitParts_;
};

} // namespace torvale
