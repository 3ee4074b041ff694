// Writes a document as mod-file text in the one canonical layout.
#pragma once

#include "mod_document.h"

#include <string>

namespace torvale {

// Every block: opening tag, content, closing tag, empty line, each ended by
// CR LF. When the last node of the tree is a search action the text ends right
// after its closing tag.
std::string assembleMod(const ModDocument& doc);

} // namespace torvale
