// torvale-cli make: a mod from a forum and its changed copy, with the report
// of what it covers on standard error.
#pragma once

// The arguments after "make"; returns the program's exit status.
int makeCommand(int argc, char** argv);
