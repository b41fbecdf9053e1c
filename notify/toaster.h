// Toast delivery: the platform policy that hands one finished toast XML text to
// the Windows notification platform under the process's AppUserModelID.
#pragma once

#include <windows.h>

#include <notification_platform.h>

class Toaster {
public:
    // Parses the text, opens a notifier, makes the toast and shows it. Every
    // platform object is obtained afresh and released before returning. Null
    // text: E_FAIL; before start-up is complete: E_ILLEGAL_METHOD_CALL (after
    // the parse). A string reference that cannot be made is raised, not returned.
    static HRESULT DeliverToast(const WCHAR* xml);

private:
    // On success *document is the caller's; on failure it is not written.
    static HRESULT ParseToastXml(const WCHAR* xml, winsdk::IXmlDocument** document);
    static HRESULT OpenNotifier(winsdk::IToastNotifier** notifier);
};
