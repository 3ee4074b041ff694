// What kind of file a mod file is: a mod at all, or the list YaBB keeps of a
// mod's files to delete its package.
#pragma once

#include <string>
#include <string_view>

namespace torvale {

// Every line of the mod starts "word|".
bool isPackageList(std::string_view mod);
// A folder's path without the "/" at its end (the root stays "/").
std::string withoutSlash(std::string dir);
// Any of the mod format's opening tags, anywhere, in either letter case.
bool holdsModTag(std::string_view mod);

} // namespace torvale
