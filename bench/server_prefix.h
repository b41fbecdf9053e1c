// What the programs timing the real server share: a prefix with the server
// registered, in English, and no server left behind; and the warning's inputs.
#pragma once

#include <notification_platform.h>

#include <cstdlib>

#include "tests/e2e/server_process.h"
#include "tests/support/temporary_prefix.h"

class ServerPrefix {
public:
    ServerPrefix() {
        for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(variable);
        setenv("LANG", "en_GB.UTF-8", 1);
        registered_ = e2e::RegisterServerAndActivator();
    }
    ~ServerPrefix() { e2e::KillServers(); }
    ServerPrefix(const ServerPrefix&) = delete;
    ServerPrefix& operator=(const ServerPrefix&) = delete;
    bool Registered() const { return registered_; }

private:
    TemporaryPrefix prefix_;
    bool registered_ = false;
};

inline const winsdk::NOTIFICATION_USER_INPUT_DATA kWarningInputs[] = {{u"Path", u"C:\\Users\\Ana\\R&D <archive>"},
                                                                  {u"ShowAgainChoice", u"true"}};

// The warning shown for those inputs, as the toast's activation asks for it.
inline HRESULT ShowWarning(winsdk::INotificationActivationCallback* callback) {
    return callback->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", kWarningInputs, 2);
}
