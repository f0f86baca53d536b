// The two options every program of the suite takes as its only argument:
// "--help" prints the usage line, what the program does, its arguments and
// the environment variables it reads; "--version" prints the program's name
// and the suite's version. Both end the run with status 0 before any input
// is read. Any other argument, "--helpx" or "--" among them, and either
// option beside other arguments, is left to the program as before.
#pragma once

namespace core {

// The suite's name and version, as the build gives them.
extern const char* const suite_name;
extern const char* const suite_version;

struct program_help {
    // The usage line after "Usage: ", for example "nowreport < SERIES".
    const char* usage;
    // One paragraph on what the program does, lines ended by line feeds.
    const char* description;
    // The arguments, one item per line ("  NAME  what it is"), each line
    // ended by a line feed; empty for a program that takes none.
    const char* arguments;
    // The environment variables the program reads, in the same form; empty
    // for a program that reads none.
    const char* environment = "";
};

// Writes the help text or the version line on standard output and ends the
// run when the only argument is "--help" or "--version"; otherwise returns.
//
// The help text:
//   Usage: USAGE
//   (blank line) DESCRIPTION (blank line)
//   Arguments: and ARGUMENTS, then a blank line, when there are any
//   Environment: and ENVIRONMENT, then a blank line, when there are any
//   the two options, a blank line and "See PROGRAM(1) for the whole manual."
// The version line: "PROGRAM (window-ranks) VERSION".
void answer_help_or_version(const char* program, const program_help& help, int argc, char** argv);

}  // namespace core
