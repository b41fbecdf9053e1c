// "pal reg": picks the subcommand and reads the key name it works on.
#include "tools/pal/reg.h"

#include <cstring>

#include "tools/pal/reg_parts.h"

namespace pal::tool {

int RunReg(const Arguments& arguments) {
    using namespace reg;
    if (arguments.empty()) return Fail("ERROR: Invalid syntax. Type \"REG /?\" for usage.");
    const std::string& subcommand = arguments[0];
    auto is = [&](const char* name) { return lstrcmpiW(Utf16(subcommand).c_str(), Utf16(name).c_str()) == 0; };
    if (is("export")) {
        if (arguments.size() > 2) return InvalidSyntax("EXPORT");
        if (arguments.size() == 1) return Export(std::nullopt);
        const std::optional<KeyName> name = ParseKeyName(arguments[1]);
        return name ? Export(name) : Fail("ERROR: Invalid key name.");
    }
    int (*const run)(const KeyName&, const Arguments&) = is("query") ? Query : is("add") ? Add : is("delete") ? Delete : nullptr;
    if (run == nullptr) return Fail("ERROR: Invalid syntax. Type \"REG /?\" for usage.");
    if (arguments.size() < 2) return InvalidSyntax(is("query") ? "QUERY" : is("add") ? "ADD" : "DELETE");
    const std::optional<KeyName> name = ParseKeyName(arguments[1]);
    if (!name) return Fail("ERROR: Invalid key name.");
    return run(*name, arguments);
}

}  // namespace pal::tool
