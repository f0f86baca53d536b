#include "support.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

namespace {

// Never destroyed: the cleanup below runs at exit, after function-local
// statics made later than it are already gone.
std::vector<std::string>& scratch_dirs() {
    static auto* dirs = new std::vector<std::string>;
    return *dirs;
}

struct cleanup {
    ~cleanup() {
        for (const std::string& d : scratch_dirs()) {
            std::string cmd = "chmod -R u+w '" + d + "' 2>/dev/null; rm -rf '" + d + "'";
            if (std::system(cmd.c_str()) != 0) {
            }
        }
    }
} cleanup_at_exit;

}  // namespace

std::string program(const std::string& name) { return std::string(SUITE_BIN_DIR) + "/" + name; }

std::string scratch_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/suite-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    scratch_dirs().push_back(buf.data());
    return buf.data();
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

run_result run(const std::string& prog, const std::vector<std::string>& args, const std::string& input,
               const run_options& options) {
    std::string tmp = scratch_dir();
    std::string in_path = options.input_file.empty() ? tmp + "/stdin" : options.input_file;
    if (options.input_file.empty()) write_file(in_path, input);
    std::string out_path = options.stdout_path.empty() ? tmp + "/stdout" : options.stdout_path;
    std::string err_path = tmp + "/stderr";
    std::string cwd = options.cwd.empty() ? tmp : options.cwd;

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int in = ::open(in_path.c_str(), O_RDONLY);
        int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (options.close_stdin) ::close(0);
        if (options.close_stdout) ::close(1);
        for (const auto& [name, value] : options.env) ::setenv(name.c_str(), value.c_str(), 1);
        if (options.file_size_limit >= 0) {
            struct rlimit rl;
            rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(options.file_size_limit);
            ::setrlimit(RLIMIT_FSIZE, &rl);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(prog.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    run_result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    if (options.stdout_path.empty()) r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

std::string daily_line(int year, int month, int day, double tmax, double tmin) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%4d%3d%3d%11.4f%11.4f%5d%3d%11.4f%11.4f%5d%3d\n", year, month, day, tmax, 0.0, 0,
                  0, tmin, 0.0, 0, 0);
    return buf;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

}  // namespace test_support
