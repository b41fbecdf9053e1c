// pal: look into the platform and act as its user. "pal VERB ..." runs a verb;
// "pal" or "pal help" lists them. No verb runs over a refused prefix.
#include <cstdio>
#include <cstring>

#include "platform/posix/core/prefix.h"
#include "tools/pal/com_activate.h"
#include "tools/pal/toast_verbs.h"
#include "tools/pal/reg.h"
#include "tools/pal/verbs.h"

namespace pal::tool {
namespace {

// One row per verb; areas of the platform add theirs here.
const Verb kVerbs[] = {
    {"com", "com activate {CLSID} [--aumid ID] [--args TEXT] [--input KEY=VALUE]...", RunCom},
    {"toast", "toast list [--aumid ID] | show ID | clear   the toasts shown, as the user sees them", &RunToast},
    {"toast", "toast press ID [--select INPUT=SELECTION]...   press a toast's button (background activation)",
     &RunToast},
    {"toast", "toast render ID [--out FILE.png] [--scale 1|2]   a picture of a toast, as the user sees it", &RunToast},
    {"reg", "reg query|add|delete KEY [/v NAME | /ve] ... ; reg export [KEY]   (reg.exe's syntax)", RunReg},
    {nullptr, nullptr, nullptr},
};

int PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: pal VERB [ARGUMENTS]\n\nverbs:\n");
    for (const Verb* verb = kVerbs; verb->name != nullptr; ++verb) std::fprintf(out, "  %s\n", verb->usage);
    std::fprintf(out, "\nState lives in $PAL_PREFIX (default ${XDG_DATA_HOME:-$HOME/.local/share}/pal).\n");
    return out == stdout ? 0 : 1;
}

}  // namespace
}  // namespace pal::tool

int main(int argc, char** argv) {
    using namespace pal::tool;
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0)
        return PrintUsage(argc < 2 ? stderr : stdout);
    pal::StopIfPrefixRefused();
    for (const Verb* verb = kVerbs; verb->name != nullptr; ++verb) {
        if (std::strcmp(argv[1], verb->name) == 0) return verb->run(Arguments(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "pal: unknown verb '%s' (try 'pal help')\n", argv[1]);
    return 1;
}
