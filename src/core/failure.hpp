// The one way a run of this suite fails: a `failure` carries a one-line
// diagnostic up to the program's main unit, which prints it after the
// program name and exits non-zero. Unwinding (rather than exiting on the
// spot) lets open output files remove their temporary copies on the way out.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace core {

class failure : public std::runtime_error {
public:
    explicit failure(const std::string& what) : std::runtime_error(what) {}
};

// Shows a text from the input in a diagnostic: printable bytes as they are,
// anything else as \xNN, and long texts cut so the message stays one line.
std::string quoted(std::string_view text);

// Runs a program's body. On a `failure` (or an allocation failure) it writes
// "<program>: <message>" on standard error and returns 1; otherwise it returns
// the body's own status.
int run_program(const char* program, int (*body)(int argc, char** argv),
                int argc, char** argv);

struct program_help;
// The same, answering "--help" and "--version" (as the only argument) from
// `help` before the body runs; see core/options.hpp.
int run_program(const char* program, const program_help& help, int (*body)(int argc, char** argv),
                int argc, char** argv);

}  // namespace core
