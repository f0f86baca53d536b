// The two options every program of the suite takes as its only argument:
// "--help" prints the usage line, what the program does and its arguments;
// "--version" prints the program's name and the suite's version. Both end
// the run with status 0 before any input is read. Any other argument,
// "--helpx" or "--" among them, is left to the program as before.
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
    // The arguments (and, where a program reads them, its environment
    // variables), one item per line, ended by a line feed; may be empty.
    const char* arguments;
};

// Writes the help text or the version line on standard output and ends the
// run when the only argument is "--help" or "--version"; otherwise returns.
void answer_help_or_version(const char* program, const program_help& help, int argc, char** argv);

}  // namespace core
