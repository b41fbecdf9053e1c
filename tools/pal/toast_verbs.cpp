// pal toast list [--aumid ID] | show ID | press ID ... | clear. list prints one line per toast
// (id, AppUserModelID, time, first <text>), tab-separated; show writes the
// stored XML text as UTF-8, byte for byte, with nothing added.
#include "tools/pal/toast_verbs.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <pugixml.hpp>

#include "platform/posix/core/utf.h"
#include "platform/posix/winrt/toast_store.h"
#include "tools/pal/toast_press.h"
#include "tools/pal/toast_render.h"
#include "tools/pal/toast_xml.h"

namespace pal::tool {
namespace {

constexpr const char* kUsage =
    "usage: pal toast list [--aumid ID] | show ID | clear\n"
    "       pal toast press ID [--select INPUT=SELECTION]...\n"
    "       pal toast render ID [--out FILE.png] [--scale 1|2]\n";

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "pal toast: %s (0x%08X)\n", what, static_cast<unsigned>(hr));
    return 1;
}

// The text content of the toast's first <text> element, on one line.
std::string FirstText(const std::u16string& xml) {
    pugi::xml_document document;
    if (!LoadToastXml(xml, document)) return {};
    const pugi::xml_node text =
        document.find_node([](const pugi::xml_node& node) { return std::string_view(node.name()) == "text"; });
    std::string content;
    for (const pugi::xpath_node& part : text.select_nodes(".//text()")) content += part.node().value();
    for (char& c : content) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    return content;
}

int List(const Arguments& arguments) {
    std::optional<std::string> aumid;
    if (arguments.size() == 3 && arguments[1] == "--aumid") {
        aumid = arguments[2];
    } else if (arguments.size() != 1) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    std::vector<toast_store::Toast> toasts;
    if (const HRESULT hr = toast_store::List(toasts, aumid); FAILED(hr)) return Fail("cannot read the toast store", hr);
    for (const toast_store::Toast& toast : toasts) {
        std::printf("%lld\t%s\t%s\t%s\n", static_cast<long long>(toast.id), toast.appUserModelId.c_str(),
                    toast.time.c_str(), FirstText(toast.xml).c_str());
    }
    return 0;
}

int Show(const Arguments& arguments) {
    char* end = nullptr;
    const long long id = arguments.size() == 2 ? std::strtoll(arguments[1].c_str(), &end, 10) : 0;
    if (arguments.size() != 2 || end == arguments[1].c_str() || *end != '\0') {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::optional<toast_store::Toast> toast = toast_store::Find(id);
    if (!toast) {
        std::fprintf(stderr, "pal toast: no toast with id %lld\n", id);
        return 1;
    }
    const std::string xml = ToUtf8(toast->xml);
    std::fwrite(xml.data(), 1, xml.size(), stdout);
    return 0;
}

int Clear(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    if (const HRESULT hr = toast_store::Clear(); FAILED(hr)) return Fail("cannot clear the toast store", hr);
    return 0;
}

}  // namespace

int RunToast(const Arguments& arguments) {
    if (!arguments.empty()) {
        if (arguments[0] == "list") return List(arguments);
        if (arguments[0] == "show") return Show(arguments);
        if (arguments[0] == "clear") return Clear(arguments);
        if (arguments[0] == "press") return RunToastPress(arguments);
        if (arguments[0] == "render") return RunToastRender(arguments);
    }
    std::fputs(kUsage, stderr);
    return 1;
}

}  // namespace pal::tool
