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

namespace {

std::string help_text(const char* program, const program_help& help) {
    std::string text = std::string("Usage: ") + help.usage + "\n\n" + help.description + "\n";
    if (help.arguments[0] != '\0') text += std::string("Arguments:\n") + help.arguments + "\n";
    if (help.environment[0] != '\0') text += std::string("Environment:\n") + help.environment + "\n";
    text +=
        "Either option, as the only argument:\n"
        "  --help     print this help and exit\n"
        "  --version  print the program's name and the suite's version and exit\n"
        "\n";
    return text + "See " + program + "(1) for the whole manual.\n";
}

}  // namespace

void answer_help_or_version(const char* program, const program_help& help, int argc, char** argv) {
    if (argc != 2) return;
    if (std::strcmp(argv[1], "--version") == 0) {
        standard_output().write(std::string(program) + " (" + suite_name + ") " + suite_version + "\n");
        end_run();
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        standard_output().write(help_text(program, help));
        end_run();
    }
}

}  // namespace core
