// The directory fulltable writes its ranks-all table into: the one named by
// the environment variable RANKS_ALL_DIR when it is set and not empty,
// otherwise the directory fixed when the program was built. Choosing it at
// run time lets an installed suite keep its tables wherever the site keeps
// data, whatever became of the tree it was built in.
#pragma once

#include <cstddef>
#include <string>

#include "core/ranks_all_table.hpp"

namespace core {

extern const char* const table_directory_variable;  // "RANKS_ALL_DIR"

// The longest directory that leaves room in the table's file-name field for
// the region code and "_ranks_all.txt".
constexpr std::size_t longest_table_directory = table_name_field - 2 - (sizeof "_ranks_all.txt" - 1);

// `from_environment` is the variable's value, or null when it is unset; an
// empty value counts as unset. A set value gets a trailing "/" when it has
// none and must name an existing directory no longer than
// `longest_table_directory`: a longer one, or one that is missing or not a
// directory, is a `failure` naming the variable and the value. `built_in`
// is returned as it is.
std::string table_directory(const char* from_environment, const std::string& built_in);

}  // namespace core
