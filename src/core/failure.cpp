#include "core/failure.hpp"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <new>

#include "core/io.hpp"
#include "core/options.hpp"
#include "core/record.hpp"

namespace core {

std::string quoted(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "'";
    std::size_t shown = 0;
    for (char ch : text) {
        if (++shown > 80) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '\'') {
            out.push_back(ch);
        } else {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    out += "'";
    return out;
}

namespace {

int fail(const char* program, const char* message) {
    std::fprintf(stderr, "%s: %s\n", program, message);
    std::fflush(stderr);
    return 1;
}

int run(const char* program, const program_help* help, int (*body)(int, char**), int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is
    // reported, and temporary files are removed, instead of SIGXFSZ killing
    // the run where it stands.
    std::signal(SIGXFSZ, SIG_IGN);
    // A standard descriptor that is closed at start is held by /dev/null,
    // opened the wrong way round, so that reading or writing it still fails
    // (and is reported) while no output file can take its number.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1) {
            int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
            if (held != fd && held >= 0) ::close(held);
        }
    try {
        int status = 0;
        try {
            if (help) answer_help_or_version(program, *help, argc, argv);
            status = body(argc, argv);
        } catch (const run_ended&) {
            status = 0;
        }
        finish_output();
        return status;
    } catch (const failure& e) {
        return fail(program, e.what());
    } catch (const std::bad_alloc&) {
        return fail(program, "out of memory");
    } catch (const std::exception& e) {
        return fail(program, (std::string("internal error: ") + e.what()).c_str());
    }
}

}  // namespace

int run_program(const char* program, int (*body)(int, char**), int argc, char** argv) {
    return run(program, nullptr, body, argc, argv);
}

int run_program(const char* program, const program_help& help, int (*body)(int, char**), int argc, char** argv) {
    return run(program, &help, body, argc, argv);
}

}  // namespace core
