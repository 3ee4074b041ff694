// The forum file made of the forum's own code, numbered apart where its lines
// repeat, and the mod of steps that each miss it by an indent and a name.
#include "failing_mod.h"

namespace torvale::bench {

FailingMod makeFailingMod(const CodePool& pool, std::size_t lines, int steps) {
    FailingMod made;
    std::vector<std::string> all;
    for (std::size_t round = 0; all.size() < lines && !pool.files.empty(); ++round)
        for (const auto& f : pool.files)
            for (const std::string& line : f.lines)
                if (all.size() < lines)
                    all.push_back(line + (round ? " # " + std::to_string(round) : ""));
    made.lines = all.size();
    for (const std::string& line : all)
        made.file += line + "\n";
    made.mod = "<id>\nFailing\n</id>\n\n<version>\n1\n</version>\n\n<mod info>\nx\n</mod info>\n\n"
               "<author>\nx\n</author>\n\n<homepage>\nx\n</homepage>\n\n<edit file>\n" +
               std::string(FailingMod::kFileName) + "\n</edit file>\n\n";
    if (made.lines < 4)
        return made;
    for (int step = 0; step < steps; ++step) {
        std::size_t at = std::size_t(step) * (made.lines / std::size_t(steps + 1));
        while (at + 3 < made.lines &&
               (all[at].find('$') == std::string::npos || all[at + 1].size() < 8))
            ++at;
        std::string second = all[at + 1];
        const std::size_t dollar = second.find('$');
        second.insert(dollar == std::string::npos ? 0 : dollar + 1, "renamed_");
        made.searches.push_back({"\t" + all[at], second, all[at + 2]});
        made.mod += "<search for>\n" + made.searches.back()[0] + "\n" + second + "\n" +
                    all[at + 2] + "\n</search for>\n\n<add after>\n# step " + std::to_string(step) +
                    "\n</add after>\n\n";
    }
    return made;
}

} // namespace torvale::bench
