// AddMRU and CheckMRU.
#include "recent_files.h"

#include "text_compare.h"

#include <algorithm>

namespace torvale {

void AddMRU(std::vector<std::string>& list, std::string_view path, std::int32_t maximum) {
    if (std::any_of(list.begin(), list.end(),
                    [&](const std::string& entry) { return equalsIgnoringCase(entry, path); }))
        return;
    list.emplace_back(path);
    CheckMRU(list, maximum);
}

void CheckMRU(std::vector<std::string>& list, std::int32_t maximum) {
    const std::size_t keep = std::size_t(std::max<std::int32_t>(maximum, 0));
    if (list.size() > keep)
        list.erase(list.begin(), list.end() - std::ptrdiff_t(keep));
}

} // namespace torvale
