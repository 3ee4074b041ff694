// Why a search text is not found, when its lines nearly stand in the file:
// the same lines but for blanks and tabs, letter case, or empty lines at the
// ends of the search text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

class InstallFile;

// "the lines stand at line 12 but differ in letter case", or "not present at
// all" when no such place is there.
std::string nearMiss(const InstallFile& file, std::span<const std::string_view> search);

// The same for many search texts in one file as it stands: its keys are
// taken once, and compared in each normal form as they are, without copies,
// which costs less than making the file normal even for a hundred steps.
class NearMisses {
public:
    explicit NearMisses(const InstallFile& file);
    // The file's keys, whose bytes outlive this object; and, when given, the
    // hash (likeness::hashOf) of each key without blanks, tabs and letter
    // case, which spares comparing most lines.
    // origins, when given, are each key's line on disk (from 0; -1 for a
    // line the mod put in), named beside the line in the file as it stands
    // where the two differ.
    explicit NearMisses(std::vector<std::string_view> keys,
                        const std::vector<std::uint64_t>* hashes = nullptr,
                        const std::vector<std::int32_t>* origins = nullptr)
        : keys_(std::move(keys)), hashes_(hashes), origins_(origins) {}
    std::string operator()(std::span<const std::string_view> search) const;

private:
    std::vector<std::string_view> keys_;
    const std::vector<std::uint64_t>* hashes_ = nullptr;
    const std::vector<std::int32_t>* origins_ = nullptr;
};

} // namespace torvale
