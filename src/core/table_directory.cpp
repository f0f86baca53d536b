#include "core/table_directory.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/failure.hpp"

namespace core {

const char* const table_directory_variable = "RANKS_ALL_DIR";

std::string table_directory(const char* from_environment, const std::string& built_in) {
    if (from_environment == nullptr || from_environment[0] == '\0') return built_in;
    std::string dir = from_environment;
    if (dir.back() != '/') dir += '/';
    const std::string name = std::string(table_directory_variable) + " " + quoted(dir);
    // Cutting the file name to its field would put the table somewhere else.
    if (dir.size() > longest_table_directory)
        throw failure(name + " is " + std::to_string(dir.size()) + " characters long, more than the " +
                      std::to_string(longest_table_directory) + " that the table's file name leaves room for");
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) throw failure("cannot use " + name + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) throw failure("cannot use " + name + ": " + std::strerror(ENOTDIR));
    return dir;
}

}  // namespace core
