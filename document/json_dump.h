// The document as one JSON object, for tools that read mod files.
#pragma once

#include "mod_document.h"
#include "mod_reader.h"
#include "read_findings.h"

#include <string>
#include <string_view>

namespace torvale {

// {"complete": ..., "error": ..., "properties": {...}, "nodes": [...],
//  "selected": ..., "findings": [{"kind", "line", "text"}, ...]}. Strings are
// pure ASCII: quote and backslash are escaped, and every byte below 0x20, 0x7F
// and every byte from 0x80 up is written as \u00XX, so the exact bytes can be
// recovered.
std::string dumpJson(const ModDocument& doc, const ReadOutcome& outcome,
                     const std::vector<Finding>& findings = {});

// Appends text as a JSON string literal by the rules above.
void appendJsonString(std::string& out, std::string_view text);

} // namespace torvale
