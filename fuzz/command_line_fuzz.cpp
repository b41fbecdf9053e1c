// Fuzz target of the program's command line: the entry point's choice between
// a registration switch, the console launch and the COM server, with recording
// stand-ins for the registration, the launch, the server and the version query.
// The input is the argument text, one unit per byte; its last byte also picks
// the Windows version and the code the stand-ins answer. Invariant: exactly the
// action a simple reading of the rules names is taken, once, and the exit code
// follows from it (a removal's success codes become S_OK, a registration's code
// and the server's pass through).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "registrar/per_user_registration.h"

class CAtlModule;

namespace {

enum class Action { None, Register, Unregister, LaunchConsole, Serve };

struct Recording {
    Action action = Action::None;
    int calls = 0;
    bool newer = true;  // Windows 8 (6.2) or later
    HRESULT answer = S_OK;
} recording;

void Record(Action action) {
    recording.action = action;
    ++recording.calls;
}

[[noreturn]] void Broken(const char* what, const std::u16string& text) {
    std::fprintf(stderr, "invariant broken: %s; arguments:", what);
    for (char16_t c : text) std::fprintf(stderr, " %02X", static_cast<unsigned>(c));
    std::fprintf(stderr, "\n");
    std::abort();
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// The rules read plainly: every "-" or "/" starts a token that ends at a space,
// a TAB or the end; the first token that is one of the names (ignoring case)
// decides, the names tried in the order UnregServer, RegServer, UnregServerPerUser,
// RegServerPerUser. The text here holds units below 256, whose upper case is ASCII
// only for ASCII letters.
int ExpectedSwitch(const std::u16string& text) {
    static const std::u16string names[] = {u"UNREGSERVER", u"REGSERVER", u"UNREGSERVERPERUSER", u"REGSERVERPERUSER"};
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != u'-' && text[at] != u'/') continue;
        size_t end = at + 1;
        while (end < text.size() && text[end] != u' ' && text[end] != u'\t') ++end;
        std::u16string token = text.substr(at + 1, end - at - 1);
        for (char16_t& c : token) c = Upper(c);
        for (int i = 0; i < 4; ++i) {
            if (token == names[i]) return i;
        }
    }
    return -1;
}

}  // namespace

// The stand-ins the entry point reaches.
HRESULT ApplyRegistryScript(CAtlModule&, bool doRegister) noexcept {
    Record(doRegister ? Action::Register : Action::Unregister);
    return recording.answer;
}
BOOL LaunchConsole() {
    Record(Action::LaunchConsole);
    return TRUE;
}
HRESULT ServeNotificationActivator() {
    Record(Action::Serve);
    return recording.answer;
}
bool IsOsVersionAtLeast(WORD major, WORD minor) noexcept {
    if (major != 6 || minor != 2) std::abort();  // the only question the entry point asks
    return recording.newer;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text ends at its first NUL, as a command line does.
    std::u16string text(data, data + size);
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    const uint8_t last = size != 0 ? data[size - 1] : 0;
    static const HRESULT answers[] = {S_OK, S_FALSE, static_cast<HRESULT>(0x00040200), E_FAIL, E_ACCESSDENIED,
                                      DISP_E_EXCEPTION, static_cast<HRESULT>(0x80070002), E_OUTOFMEMORY};
    recording = Recording{};
    recording.newer = (last & 8) == 0;
    recording.answer = answers[last & 7];
    PerUserRegistration = false;

    std::u16string argumentBuffer = text;
    const HRESULT exitCode = wWinMain(nullptr, nullptr, argumentBuffer.data(), 0);

    const int found = ExpectedSwitch(text);
    Action expected = Action::None;
    HRESULT expectedCode = S_OK;
    if (found >= 0) {
        const bool doRegister = found == 1 || found == 3;
        expected = doRegister ? Action::Register : Action::Unregister;
        expectedCode = !doRegister && SUCCEEDED(recording.answer) ? S_OK : recording.answer;
        if (PerUserRegistration != (found >= 2)) Broken("per-user redirection set wrongly", text);
    } else if (text.find(u"-Embedding") == std::u16string::npos) {
        expected = Action::LaunchConsole;
    } else if (recording.newer) {
        expected = Action::Serve;
        expectedCode = recording.answer;
    }
    if (recording.action != expected) Broken("another action was taken", text);
    if (recording.calls > 1) Broken("an action was taken twice", text);
    if (exitCode != expectedCode) Broken("another exit code", text);
    return 0;
}
