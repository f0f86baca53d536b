// How many threads a run may use: the cores it may run on, lowered by an
// environment variable.
#pragma once

namespace core {

// The cores this process may run on (its CPU affinity), at least 1.
int available_cores();

// The cores available, or fewer when the environment variable `variable`
// holds a smaller positive whole number (a larger one changes nothing; an
// empty one is unset). Any other text in it is a `failure` naming the
// variable and the text.
int thread_count(const char* variable);

}  // namespace core
