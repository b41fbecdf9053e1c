// The verbs of the pal command. Each takes the arguments after its name and
// returns the process exit status (0 success, 1 failure with one line on stderr).
#pragma once

#include <string>
#include <vector>

namespace pal::tool {

using Arguments = std::vector<std::string>;

struct Verb {
    const char* name;
    const char* usage;
    int (*run)(const Arguments& arguments);
};

}  // namespace pal::tool
