#include "core/threads.hpp"

#include <sched.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "core/failure.hpp"

namespace core {

int available_cores() {
#if defined(__linux__)
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        int n = CPU_COUNT(&set);
        if (n > 0) return n;
    }
#endif
    unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

int thread_count(const char* variable) {
    int cores = available_cores();
    const char* text = std::getenv(variable);
    // An empty value is no value, as for the suite's other variables.
    if (!text || *text == '\0') return cores;
    // Decimal digits only: no sign, no blanks.
    long long value = 0;
    bool digits = true;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') {
            digits = false;
            break;
        }
        if (value <= cores) value = value * 10 + (*c - '0');  // past the cores the exact value does not matter
    }
    if (!digits || value == 0)
        throw failure(std::string("environment variable ") + variable + ": " + quoted(text) +
                      " is not a positive whole number of threads");
    return value < cores ? static_cast<int>(value) : cores;
}

}  // namespace core
