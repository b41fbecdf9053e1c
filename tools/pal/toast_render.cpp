// The drawing needs Pango, Cairo and their fonts; pal hands the verb to the
// program beside it so that its other verbs start without loading them.
#include "tools/pal/toast_render.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace pal::tool {

int RunToastRender(const Arguments& arguments) {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        std::fprintf(stderr, "pal toast render: cannot find pal's own directory (%s)\n", std::strerror(errno));
        return 1;
    }
    std::string program(self, static_cast<size_t>(length));
    program = program.substr(0, program.rfind('/') + 1) + "pal-toast-render";
    std::vector<char*> argv{program.data()};
    Arguments passed(arguments.begin() + 1, arguments.end());
    for (std::string& argument : passed) argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    std::fprintf(stderr, "pal toast render: cannot run %s (%s)\n", program.c_str(), std::strerror(errno));
    return 1;
}

}  // namespace pal::tool
