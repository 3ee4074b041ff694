// The search text of one changed place: the shortest run of whole lines that
// YaBB's installer finds first, and only, where the change goes.
#pragma once

#include "line_diff.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace torvale::make {

// Every distinct line of both files once, with what the choice of a search
// text asks of it.
class LineTable {
public:
    enum Flag : std::uint8_t {
        Blank = 1,       // empty, or blanks and tabs only: never the first or last line searched
        Weak = 2,        // no letter or digit, as a lone brace: a poor anchor
        EndsSearch = 4,  // read as </search for>
        EndsReplace = 8, // read as </replace>
        EndsBefore = 16, // read as </add before>
        EndsAfter = 32,  // read as </add after>
    };
    std::uint32_t intern(std::string_view key);
    std::string_view key(std::uint32_t id) const { return keys_[id]; }
    bool has(std::uint32_t id, Flag flag) const { return flags_[id] & flag; }
    std::size_t size() const { return keys_.size(); }

private:
    std::deque<std::string> keys_; // stays put: ids_ points into it
    std::vector<std::uint8_t> flags_;
    std::unordered_map<std::string_view, std::uint32_t> ids_;
};

// A file's lines as the installer compares them: by their key.
struct KeyedLines {
    std::vector<std::uint32_t> ids;
    bool openEnd = false; // the last line has no line feed
    // Where each line stands, by its id: sorted lines of ids.
    std::vector<std::vector<std::uint32_t>> where;
    void index(std::size_t idCount);
};

// One step chosen for a place: search the lines [first, last) of the file as
// the steps before left it, and put the action in.
struct Run {
    bool ok = false;
    std::int32_t kind = 0; // akSearchReplace, akSearchAddBefore, akSearchAddAfter
    std::size_t first = 0, last = 0;
    int tier = 0;          // 0 best: found once, no blank line at either end, short (kTiers)
    std::size_t weak = 0;  // weak lines at its ends
    std::size_t bytes = 0; // of the search text
    std::size_t actionBytes = 0;
};

// The file as the steps before the place left it: the changed file up to the
// place, the original from it on.
class FileState {
public:
    FileState(const LineTable& table, const KeyedLines& original, const KeyedLines& changed,
              const LineHunk& place);
    std::size_t size() const { return size_; }
    std::uint32_t at(std::size_t i) const {
        return i < split_ ? changed_.ids[i] : original_.ids[i - split_ + from_];
    }
    // The shortest run for the place, best tier first; ok false when none.
    Run choose() const;
    // The search and action lines of a run, as ids.
    std::vector<std::uint32_t> searchLines(const Run& run) const;
    std::vector<std::uint32_t> actionLines(const Run& run) const;

private:
    std::size_t lce(std::size_t a, std::size_t s, std::size_t cap) const;
    std::size_t need(std::size_t a, bool firstOnly, std::size_t cap) const;
    Run best(int tier) const;
    void addAfter(int tier, Run& best) const;
    void addBefore(int tier, Run& best) const;
    void replace(int tier, Run& best) const;
    bool consider(Run run, Run& best) const;
    bool endsOk(std::size_t a, std::size_t b, int tier) const;

    const LineTable& table_;
    const KeyedLines& original_;
    const KeyedLines& changed_;
    LineHunk place_;
    std::size_t split_; // lines of the changed file before the place
    std::size_t from_;  // the original's line at the split
    std::size_t size_;
    std::size_t lo_, hi_; // the lines the place replaces
    bool openEnd_;        // the last line has no line feed and is the original's
};

} // namespace torvale::make
