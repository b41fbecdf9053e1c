// The entry point by which the Windows Runtime loads the Wine lane's
// notification classes from their DllPath registration.
#include <activation.h>
#include <winstring.h>

#include <string_view>

#include "platform/posix/winrt/class_table.h"

namespace {

struct RuntimeClass {
    std::wstring_view classId;
    HRESULT (*createFactory)(IActivationFactory** factory) noexcept;
};

constexpr RuntimeClass kClasses[] = {
    {L"Windows.Data.Xml.Dom.XmlDocument", &pal::winrt::CreateXmlDocumentFactory},
    {L"Windows.UI.Notifications.ToastNotificationManager", &pal::winrt::CreateToastNotificationManagerFactory},
    {L"Windows.UI.Notifications.ToastNotification", &pal::winrt::CreateToastNotificationFactory},
};

}  // namespace

extern "C" HRESULT WINAPI DllGetActivationFactory(HSTRING classId, IActivationFactory** factory) {
    if (factory == nullptr) return E_POINTER;
    *factory = nullptr;
    UINT32 length = 0;
    const wchar_t* name = WindowsGetStringRawBuffer(classId, &length);
    for (const RuntimeClass& runtimeClass : kClasses) {
        if (runtimeClass.classId == std::wstring_view(name, length)) return runtimeClass.createFactory(factory);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// The classes keep no state between calls, but objects may still be alive.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
