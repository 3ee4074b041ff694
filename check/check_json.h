// The report of a check as one JSON object, for tools that test mods:
// its layout is documented in README.md and in torvale-cli --help, and kept.
#pragma once

#include "mod_check.h"

#include <string>

namespace torvale {

// {"installs", "tested", "not_a_mod", "stop", "failed_step", "files": [...],
//  "steps": [...], "warnings": [...], "reading": [...], "uninstall"}; strings
// escaped as the document's JSON escapes them.
std::string reportJson(const CheckReport& report);

// The words of a step's status in the JSON: "found", "found again", "not found", ...
const char* statusWord(const StepCheck& step);

} // namespace torvale
