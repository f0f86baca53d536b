#include "core/options.hpp"

#include <cstring>
#include <string>

#include "core/io.hpp"
#include "core/record.hpp"

#ifndef WINDOW_RANKS_VERSION
#error "WINDOW_RANKS_VERSION must give the suite's version"
#endif

namespace core {

const char* const suite_name = "window-ranks";
const char* const suite_version = WINDOW_RANKS_VERSION;

void answer_help_or_version(const char* program, const program_help& help, int argc, char** argv) {
    if (argc != 2) return;
    out_stream& out = standard_output();
    if (std::strcmp(argv[1], "--version") == 0) {
        out.write(std::string(program) + " (" + suite_name + ") " + suite_version + "\n");
        end_run();
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        out.write(std::string("Usage: ") + help.usage + "\n\n");
        out.write(help.description);
        if (help.arguments[0] != '\0') {
            out.write("\n");
            out.write(help.arguments);
        }
        out.write(std::string("\nSee ") + program + "(1) for the whole manual.\n");
        end_run();
    }
}

}  // namespace core
