// Shared helpers for the tests: running a built program on a given input in
// a scratch directory, and writing daily-record lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct run_result {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output
    std::string err;  // standard error
};

// Path of a program built beside the tests.
std::string program(const std::string& name);

// Runs `prog` with `args` in directory `cwd` (the scratch directory when
// empty), standard input from `input` (or from the file `input_file` when it
// is not empty, which may also be /dev/null or a directory), standard output
// to a file or to `stdout_path` when it is not empty (for example
// /dev/full).
struct run_options {
    std::string cwd;
    std::string input_file;
    std::string stdout_path;
    long file_size_limit = -1;  // RLIMIT_FSIZE in bytes, when not negative
    bool close_stdin = false;   // start the program with descriptor 0 closed
    bool close_stdout = false;  // start the program with descriptor 1 closed
    // Environment variables set for the program, name and value.
    std::vector<std::pair<std::string, std::string>> env = {};
};
run_result run(const std::string& prog, const std::vector<std::string>& args, const std::string& input,
               const run_options& options = {});

// A fresh, empty scratch directory for one test, removed at exit.
std::string scratch_dir();

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);
// Names of the entries of a directory, sorted.
std::vector<std::string> list_dir(const std::string& path);

// One daily record line (70 columns and a line feed) in the layout the
// daily input uses.
std::string daily_line(int year, int month, int day, double tmax, double tmin);

// Lines of a text, without their line feeds.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace test_support
