// torvale-cli make: a mod from a forum and its changed copy, with the report
// of what it covers on standard error.
#pragma once

// The exit status of every torvale-cli command.
constexpr int kExitComplete = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUnreadable = 2;
constexpr int kExitUsage = 64;
constexpr int kExitCannotWrite = 74;

// The arguments after "make"; returns the program's exit status.
int makeCommand(int argc, char** argv);
