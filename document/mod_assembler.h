// Writes a document as mod-file text in the one canonical layout.
#pragma once

#include "mod_document.h"

#include <functional>
#include <string>
#include <string_view>

namespace torvale {

// Every block: opening tag, content, closing tag, empty line, each ended by
// CR LF. When the last node of the tree is a search action the text ends right
// after its closing tag.
std::string assembleMod(const ModDocument& doc);

// The same text, handed to write in pieces instead of held whole; stops and
// returns false as soon as write does.
bool assembleMod(const ModDocument& doc, const std::function<bool(std::string_view)>& write);

} // namespace torvale
