// Choosing the search text of a changed place: every run of lines around it
// tried from the shortest, each held to where the installer would find it.
#include "make_runs.h"

#include "document/mod_format.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace torvale::make {

namespace {

// What a search text must be, tried in turn until one is found: found once
// (else first), blank lines off its ends (else only at the file's edges, else
// anywhere), and at most so many lines, so that a file of repeated stretches
// costs time only where nothing shorter will do.
struct Tier {
    bool firstOnly;
    int blanks; // 0: never at an end; 1: only at the file's first or last line; 2: anywhere
    std::size_t longest;
    // A replacement may end an unended last line it rewrites, which the
    // report then names: only where nothing else can make the change.
    bool endsLastLine;
};
constexpr std::size_t kLong = 400;
constexpr std::size_t kAny = std::size_t(-1);
constexpr Tier kTiers[] = {{false, 0, kLong, false}, {true, 0, kLong, false},
                           {false, 1, kLong, false}, {true, 1, kLong, false},
                           {false, 1, kAny, false},  {true, 2, kAny, false},
                           {true, 2, kAny, true}};

bool perlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// As the installer matches a tag: at the start of the line, any letter case,
// one whitespace byte where the tag has its blank.
bool opensTag(std::string_view line, std::string_view tag) {
    if (line.size() < tag.size())
        return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        const char c = line[i];
        const char lower = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        if (tag[i] == ' ' ? !perlSpace(c) : lower != tag[i])
            return false;
    }
    return true;
}

bool isBlank(std::string_view key) {
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; });
}

bool isWeak(std::string_view key) {
    return std::none_of(key.begin(), key.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               static_cast<unsigned char>(c) >= 0x80;
    });
}

LineTable::Flag closingFlag(std::int32_t kind) {
    switch (kind) {
    case akSearchAddBefore:
        return LineTable::EndsBefore;
    case akSearchAddAfter:
        return LineTable::EndsAfter;
    default:
        return LineTable::EndsReplace;
    }
}

} // namespace

std::uint32_t LineTable::intern(std::string_view key) {
    if (const auto it = ids_.find(key); it != ids_.end())
        return it->second;
    const auto id = std::uint32_t(keys_.size());
    const std::string& kept = keys_.emplace_back(key);
    std::uint8_t flags = 0;
    if (isBlank(kept))
        flags |= Blank;
    else if (isWeak(kept))
        flags |= Weak;
    if (opensTag(kept, "</search for>"))
        flags |= EndsSearch;
    if (opensTag(kept, "</replace>"))
        flags |= EndsReplace;
    if (opensTag(kept, "</add before>"))
        flags |= EndsBefore;
    if (opensTag(kept, "</add after>"))
        flags |= EndsAfter;
    flags_.push_back(flags);
    ids_.emplace(kept, id);
    return id;
}

void KeyedLines::index(std::size_t idCount) {
    where.assign(idCount, {});
    for (std::size_t i = 0; i < ids.size(); ++i)
        where[ids[i]].push_back(std::uint32_t(i));
}

FileState::FileState(const LineTable& table, const KeyedLines& original, const KeyedLines& changed,
                     const LineHunk& place)
    : table_(table), original_(original), changed_(changed), place_(place), split_(place.after),
      from_(place.before), size_(place.after + original.ids.size() - place.before), lo_(split_),
      hi_(split_ + place.removed), openEnd_(original.openEnd && from_ < original.ids.size()) {}

std::size_t FileState::lce(std::size_t a, std::size_t s, std::size_t cap) const {
    std::size_t t = 0;
    while (t < cap && a + t < size_ && s + t < size_ && at(a + t) == at(s + t))
        ++t;
    return t;
}

// The fewest lines a run from line a needs to stand nowhere else (firstOnly:
// nowhere before a); more than cap when it needs more than cap.
std::size_t FileState::need(std::size_t a, bool firstOnly, std::size_t cap) const {
    const std::uint32_t id = at(a);
    std::size_t longest = 0;
    const auto other = [&](std::size_t s) {
        if (s == a || (firstOnly && s > a))
            return true;
        longest = std::max(longest, lce(a, s, cap));
        return longest < cap;
    };
    for (const std::uint32_t p : changed_.where[id]) {
        if (p >= split_ || !other(p))
            break;
    }
    if (longest >= cap)
        return cap + 1;
    const auto& later = original_.where[id];
    for (auto it = std::lower_bound(later.begin(), later.end(), std::uint32_t(from_));
         it != later.end(); ++it)
        if (!other(*it - from_ + split_))
            break;
    return longest >= cap ? cap + 1 : longest + 1;
}

bool FileState::endsOk(std::size_t a, std::size_t b, int tier) const {
    const bool blankFirst = table_.has(at(a), LineTable::Blank);
    const bool blankLast = table_.has(at(b - 1), LineTable::Blank);
    switch (kTiers[tier].blanks) {
    case 0:
        return !blankFirst && !blankLast;
    case 1:
        return (!blankFirst || a == 0) && (!blankLast || b == size_);
    default:
        return true;
    }
}

std::vector<std::uint32_t> FileState::searchLines(const Run& run) const {
    std::vector<std::uint32_t> ids;
    for (std::size_t i = run.first; i < run.last; ++i)
        ids.push_back(at(i));
    return ids;
}

std::vector<std::uint32_t> FileState::actionLines(const Run& run) const {
    const auto& changed = changed_.ids;
    const std::size_t addedEnd = split_ + place_.added;
    if (run.kind != akSearchReplace)
        return {changed.begin() + std::ptrdiff_t(split_),
                changed.begin() + std::ptrdiff_t(addedEnd)};
    // The lines searched before the place are the changed file's already; those
    // after it are the original's, which later steps may still change.
    std::vector<std::uint32_t> ids(changed.begin() + std::ptrdiff_t(run.first),
                                   changed.begin() + std::ptrdiff_t(addedEnd));
    for (std::size_t i = hi_; i < run.last; ++i)
        ids.push_back(at(i));
    return ids;
}

// Takes run when the installer reads its texts as meant and it is shorter
// than best, or as short with fewer weak ends or fewer bytes.
bool FileState::consider(Run run, Run& best) const {
    std::size_t bytes = 0;
    for (std::size_t i = run.first; i < run.last; ++i) {
        if (table_.has(at(i), LineTable::EndsSearch))
            return false;
        bytes += table_.key(at(i)).size() + 1;
    }
    const LineTable::Flag closing = closingFlag(run.kind);
    std::size_t actionBytes = 0;
    for (const std::uint32_t id : actionLines(run)) {
        if (table_.has(id, closing))
            return false;
        actionBytes += table_.key(id).size() + 1;
    }
    run.ok = true;
    run.bytes = bytes;
    run.actionBytes = actionBytes;
    run.weak = std::size_t(table_.has(at(run.first), LineTable::Weak)) +
               std::size_t(table_.has(at(run.last - 1), LineTable::Weak));
    if (best.ok && std::tuple(run.last - run.first, run.weak, run.bytes) >=
                       std::tuple(best.last - best.first, best.weak, best.bytes))
        return false;
    best = run;
    return true;
}

void FileState::addAfter(int tier, Run& best) const {
    const std::size_t b = lo_;
    if (b == 0 || (openEnd_ && b == size_)) // added lines would run on from an unended last line
        return;
    for (std::size_t a = b; a-- > 0;) {
        const std::size_t lines = b - a;
        if (lines > kTiers[tier].longest || (best.ok && lines > best.last - best.first))
            break;
        if (!endsOk(a, b, tier) || need(a, kTiers[tier].firstOnly, lines) > lines)
            continue;
        consider({false, akSearchAddAfter, a, b, tier}, best);
    }
}

void FileState::addBefore(int tier, Run& best) const {
    const std::size_t a = lo_;
    if (a >= size_ || (kTiers[tier].blanks < 2 && a > 0 && table_.has(at(a), LineTable::Blank)))
        return;
    const std::size_t cap = std::min(kTiers[tier].longest, size_ - a);
    const std::size_t n = need(a, kTiers[tier].firstOnly, cap);
    if (n > cap)
        return;
    std::size_t b = a + std::max<std::size_t>(n, 1);
    while (kTiers[tier].blanks < 2 && b < size_ && table_.has(at(b - 1), LineTable::Blank))
        ++b;
    if (endsOk(a, b, tier))
        consider({false, akSearchAddBefore, a, b, tier}, best);
}

void FileState::replace(int tier, Run& best) const {
    for (std::size_t a = std::min(lo_, size_ - 1) + 1; a-- > 0;) {
        const std::size_t least = std::max(hi_, a + 1) - a;
        if (least > kTiers[tier].longest || (best.ok && least > best.last - best.first))
            break;
        if (kTiers[tier].blanks < 2 && a > 0 && table_.has(at(a), LineTable::Blank))
            continue;
        const std::size_t cap = std::min(kTiers[tier].longest, size_ - a);
        const std::size_t n = need(a, kTiers[tier].firstOnly, cap);
        if (n > cap)
            continue;
        std::size_t b = std::max({hi_, a + n, a + 1});
        // A replacement of no lines cannot be written: one line around stays.
        if (a == lo_ && b == hi_ && place_.added == 0)
            ++b;
        while (kTiers[tier].blanks < 2 && b < size_ && table_.has(at(b - 1), LineTable::Blank))
            ++b;
        if (b > size_ || !endsOk(a, b, tier))
            continue;
        // Written again, an unended last line would get a line feed.
        if (openEnd_ && b == size_ && hi_ < size_ && !kTiers[tier].endsLastLine)
            continue;
        consider({false, akSearchReplace, a, b, tier}, best);
    }
}

Run FileState::best(int tier) const {
    Run run;
    if (place_.removed == 0) {
        addAfter(tier, run);
        addBefore(tier, run);
        if (run.ok)
            return run;
    }
    replace(tier, run);
    return run;
}

Run FileState::choose() const {
    for (int tier = 0; tier < int(std::size(kTiers)); ++tier)
        if (Run run = best(tier); run.ok)
            return run;
    return {};
}

} // namespace torvale::make
