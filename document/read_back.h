// Whether a document would read back from its own mod text as it is: the
// check before a save, since the format has no escape for a tag in a text.
#pragma once

#include "mod_document.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvale {

struct ReadBackProblem {
    enum class Field { Property, FileName, SearchText, ActionText, Place };
    // The node whose text or place is at fault; nullptr for a property.
    const Node* node = nullptr;
    Property property = Property::Id;
    Field field = Field::Property;
    // The line of the text at fault, counted from 1, and its bytes; 0 when
    // the difference was found by reading the text back, not in one line.
    std::size_t line = 0;
    std::string lineText;
    // Why, e.g. "it holds "<replace>", which opens a block of its own".
    std::string why;
};

// The first place where assembled, the document's mod text, would read back
// different from doc; nothing when it reads back the same. Lines holding a
// tag, texts starting with an empty line and the like are found in the
// document's texts first; anything else by reading assembled back. Linear in
// the size of the document.
std::optional<ReadBackProblem> findReadBackProblem(const ModDocument& doc,
                                                   std::string_view assembled);

} // namespace torvale
