#include "core/failure.hpp"

#include <cstdio>
#include <new>

#include "core/io.hpp"
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

}  // namespace

int run_program(const char* program, int (*body)(int, char**), int argc, char** argv) {
    try {
        int status = 0;
        try {
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

}  // namespace core
