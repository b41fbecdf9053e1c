// The handler of the case-sensitive folder warning. "RivaVavirezar.display"
// builds the localized toast and hands it to the delivery policy;
// "RivaVavirezar.dismiss" records the user's choice never to see it again.
#pragma once

#include <windows.h>
#include <notification_platform.h>

#include "common/wide_string.h"
#include "notify/platform_queries.h"
#include "notify/user_input.h"
#include "notify/warning_preference.h"
#include "notify/warning_toast.h"

#include <memory>

// Toaster offers HRESULT DeliverToast(const WCHAR* xml); Isolation is held for
// the activator's sake and never called here.
template <class Toaster, class Isolation> class RivaVavirezarToast {
public:
    RivaVavirezarToast(const std::shared_ptr<Toaster>& toaster, const std::shared_ptr<Isolation>& isolation)
        : toaster(toaster), isolation(isolation) {}
    // Members go in reverse order: isolation first, then toaster.
    virtual ~RivaVavirezarToast() = default;

    // Acts only on Windows 10 and later; every outcome is silent.
    virtual void HandleActivation(LPCWSTR invokedArgs, const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) {
        if (!IsOsVersionAtLeast(10, 0)) return;
        const CWideString arguments(invokedArgs);
        if (arguments.StartsWith(TEXT("RivaVavirezar.display"))) {
            ShowWarning(data, count);
        } else if (arguments.StartsWith(TEXT("RivaVavirezar.dismiss"))) {
            RecordChoice(data, count);
        }
    }

    // value must be empty on entry; it is set only when true is returned.
    virtual bool FindUserInput(const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count, LPCWSTR key,
                               CWideString& value) {
        return FindUserInputValue(data, count, key, value);
    }

private:
    void ShowWarning(const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) {
        CWideString path;
        CWideString choice;
        if (!FindUserInput(data, count, TEXT("Path"), path)) return;
        if (!FindUserInput(data, count, TEXT("ShowAgainChoice"), choice)) return;
        const CWideString xml = ComposeWarningToast(path, choice);
        // Whether the toast was shown or not, the warning is done with.
        toaster->DeliverToast(xml.GetString());
    }

    void RecordChoice(const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) {
        CWideString choice;
        if (!FindUserInput(data, count, TEXT("repeat"), choice)) return;
        if (EqualsFoldingAsciiLetters(choice, TEXT("dismiss"))) RecordWarningNeverShownAgain();
    }

    std::shared_ptr<Toaster> toaster;
    std::shared_ptr<Isolation> isolation;
};
