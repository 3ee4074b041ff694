#include "string_ops.h"

namespace torvale {

std::string Rep(std::string_view Source, std::string_view Find, std::string_view Replacement) {
    if (Source.empty() || Find.empty())
        return std::string(Source);
    std::string result;
    result.reserve(Source.size());
    std::size_t from = 0;
    for (std::size_t hit; (hit = Source.find(Find, from)) != std::string_view::npos;
         from = hit + Find.size()) {
        result.append(Source.substr(from, hit - from));
        result.append(Replacement);
    }
    result.append(Source.substr(from));
    return result;
}

std::string IncludeDelimiter(std::string_view path) {
    std::string result(path);
    if (result.empty() || result.back() != '\\')
        result.push_back('\\');
    return result;
}

} // namespace torvale
