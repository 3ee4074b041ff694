// Find and Replace over every text of a mod: the five properties and the
// file name, search text and action text of every node.
#pragma once

#include "edit_ops.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// One of the texts of a document.
struct TextPlace {
    enum class Field : std::uint8_t { Property, FileName, SearchText, ActionText };
    Field field = Field::Property;
    Property property = Property::Id; // for Field::Property
    NodePath node;                    // for the other fields
    bool operator==(const TextPlace&) const = default;
};

struct ModHit {
    TextPlace place;
    std::size_t begin = 0; // bytes into the text
    std::size_t end = 0;
    std::size_t line = 0; // counted from 1 within the text
};

struct ModHits {
    std::vector<ModHit> hits; // the first `limit` ones, in document order
    std::size_t total = 0;    // all of them
};

// Every occurrence of needle, in the order of allTexts(), each text searched
// from where the last occurrence in it ended. A CR LF in needle matches any
// line break (see findText); an empty needle finds nothing.
ModHits findInMod(const ModDocument& doc, std::string_view needle, std::size_t limit);

// The text at place, or nullptr when there is none.
const Text* textAt(const ModDocument& doc, const TextPlace& place);

// text with every occurrence of needle replaced, left to right and each once;
// nothing when there is none. count, when given, gets how many.
std::optional<std::string> replaceInText(std::string_view text, std::string_view needle,
                                         std::string_view replacement, std::size_t* count = nullptr);

} // namespace torvale
