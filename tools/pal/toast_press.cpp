// Pressing a toast's button the way the notification platform handles it: only
// a "background" action is delivered, to the activator recorded for the
// toast's AppUserModelID (CustomActivator below HKCU's AppUserModelId key),
// with the action's arguments and every selection input's chosen item. An
// input without defaultInput starts at its first selection, as the box shows it.
#include "tools/pal/toast_press.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include <pugixml.hpp>

#include "common/unique_any.h"
#include "platform/posix/core/utf.h"
#include "platform/posix/winrt/toast_store.h"
#include "tools/pal/activation_client.h"
#include "tools/pal/toast_xml.h"

namespace pal::tool {
namespace {

constexpr const char* kPressUsage = "pal toast press ID [--select INPUT=SELECTION]...";

struct PressRequest {
    int64_t id = 0;
    std::map<std::string, std::string> selections;  // input id -> selection id
};

int Refuse(const std::string& reason) {
    std::fprintf(stderr, "pal toast press: %s\n", reason.c_str());
    return 1;
}

std::optional<PressRequest> ParsePress(const Arguments& arguments, std::string& reason) {
    PressRequest request;
    char* end = nullptr;
    if (arguments.size() < 2 || (request.id = std::strtoll(arguments[1].c_str(), &end, 10), *end != '\0') ||
        end == arguments[1].c_str()) {
        reason = std::string("usage: ") + kPressUsage;
        return std::nullopt;
    }
    for (size_t i = 2; i < arguments.size(); i += 2) {
        const size_t equals = i + 1 < arguments.size() ? arguments[i + 1].find('=') : std::string::npos;
        if (arguments[i] != "--select" || equals == std::string::npos || equals == 0) {
            reason = std::string("usage: ") + kPressUsage;
            return std::nullopt;
        }
        const std::string input = arguments[i + 1].substr(0, equals);
        if (!request.selections.emplace(input, arguments[i + 1].substr(equals + 1)).second) {
            reason = "input '" + input + "' selected twice";
            return std::nullopt;
        }
    }
    return request;
}

// The CLSID recorded as the activator of an AppUserModelID, read as any
// Windows program would read it.
bool FindActivator(const std::string& appUserModelId, CLSID& clsid, std::string& reason) {
    const std::string keyName = "HKCU\\Software\\Classes\\AppUserModelId\\" + appUserModelId;
    reason = "no activator is recorded for " + appUserModelId + " (" + keyName + ", value CustomActivator)";
    unique_hkey key;
    const std::u16string subKey = u"Software\\Classes\\AppUserModelId\\" + FromUtf8(appUserModelId);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), u"CustomActivator", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ) {
        reason = keyName + " CustomActivator is not a string value";
        return false;
    }
    std::u16string text(size / sizeof(WCHAR), u'\0');
    if (RegQueryValueExW(key.get(), u"CustomActivator", nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    text.resize(size / sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    if (FAILED(CLSIDFromString(text.c_str(), &clsid))) {
        reason = keyName + " CustomActivator is not a CLSID in braces: " + ToUtf8(text);
        return false;
    }
    return true;
}

// The button's activation: its arguments and the selection inputs with the
// items chosen, checked against what the toast offers.
bool ReadButton(const std::u16string& xml, const std::map<std::string, std::string>& chosen, ActivationCall& call,
                std::string& reason) {
    pugi::xml_document document;
    if (!LoadToastXml(xml, document)) {
        reason = "the toast's XML cannot be read";
        return false;
    }
    const pugi::xml_node action = document.select_node("//action").node();
    if (!action) {
        reason = "the toast has no action button";
        return false;
    }
    const std::string activationType = action.attribute("activationType").as_string("foreground");
    if (activationType != "background") {
        reason = "the button's activationType is \"" + activationType + "\"; only \"background\" reaches an activator";
        return false;
    }
    call.invokedArgs = FromUtf8(action.attribute("arguments").as_string());

    const pugi::xpath_node_set inputs = document.select_nodes("//input[@type='selection']");
    for (const auto& [id, selection] : chosen) {
        bool offered = false;
        for (const pugi::xpath_node& input : inputs) offered = offered || id == input.node().attribute("id").as_string();
        if (!offered) {
            reason = "the toast has no selection input '" + id + "'";
            return false;
        }
    }
    for (const pugi::xpath_node& found : inputs) {
        const pugi::xml_node input = found.node();
        const std::string id = input.attribute("id").as_string();
        std::string selection = DefaultSelectionId(input);
        if (const auto choice = chosen.find(id); choice != chosen.end()) {
            if (!input.find_child_by_attribute("selection", "id", choice->second.c_str())) {
                reason = "input '" + id + "' offers no selection '" + choice->second + "'";
                return false;
            }
            selection = choice->second;
        }
        call.inputs.emplace_back(FromUtf8(id), FromUtf8(selection));
    }
    return true;
}

}  // namespace

int RunToastPress(const Arguments& arguments) {
    std::string reason;
    const std::optional<PressRequest> request = ParsePress(arguments, reason);
    if (!request) return Refuse(reason);
    const std::optional<toast_store::Toast> toast = toast_store::Find(request->id);
    if (!toast) return Refuse("no toast with id " + std::to_string(request->id));

    ActivationCall call;
    if (!ReadButton(toast->xml, request->selections, call, reason)) return Refuse(reason);
    if (!FindActivator(toast->appUserModelId, call.clsid, reason)) return Refuse(reason);
    call.appUserModelId = FromUtf8(toast->appUserModelId);

    const HRESULT hr = ActivateOnce(call);
    std::printf("0x%08X\n", static_cast<unsigned>(hr));
    if (hr != S_OK) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        return Refuse("the activator of " + toast->appUserModelId + " returned " + code);
    }
    return 0;
}

}  // namespace pal::tool
