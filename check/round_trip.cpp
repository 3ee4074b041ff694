// A file's bytes before an install and after the uninstall, compared line by
// line as Perl splits them.
#include "round_trip.h"

#include "install_file.h"

#include <string_view>
#include <vector>

namespace torvale {

std::string describeRoundTrip(const std::string& name, const std::optional<std::string>& before,
                              const std::optional<std::string>& now) {
    if (!before || !now)
        return name + ": " + (before ? "is gone" : "was made") + " after the round trip";
    const std::vector<std::string_view> a = perlLines(*before), b = perlLines(*now);
    std::size_t first = 0;
    while (first < a.size() && first < b.size() && a[first] == b[first])
        ++first;
    bool endsOnly = a.size() == b.size();
    std::size_t lines = 0;
    for (std::size_t i = 0; endsOnly && i < a.size(); ++i)
        if (a[i] != b[i]) {
            endsOnly = lineKey(a[i]) == lineKey(b[i]);
            ++lines;
        }
    if (endsOnly)
        return name + ": the line ends of " + std::to_string(lines) +
               (lines == 1 ? " line change" : " lines change") + " (from line " +
               std::to_string(first + 1) + "): the installer took out their carriage returns";
    return name + ": differs from line " + std::to_string(first + 1) + " on";
}

} // namespace torvale
