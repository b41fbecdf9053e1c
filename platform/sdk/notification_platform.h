// The notification, XML document and toast interfaces the program calls, with
// Windows' IIDs and slot order. MinGW-w64 does not declare them, so both builds
// take them from here, in namespace winsdk (clear of the SDK's own ABI namespace).
// Slots the program never calls keep their place with loosely typed arguments.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <roapi.h>
#include <hstring.h>
#include <roapi.h>
#include <winstring.h>

#ifndef E_STRING_NOT_NULL_TERMINATED
#define E_STRING_NOT_NULL_TERMINATED ((HRESULT)0x80000017L)
#endif
#ifndef E_BOUNDS
#define E_BOUNDS ((HRESULT)0x8000000BL)
#endif
#ifndef E_ILLEGAL_METHOD_CALL
#define E_ILLEGAL_METHOD_CALL ((HRESULT)0x8000000EL)
#endif

extern "C" BOOL WINAPI RoOriginateError(HRESULT error, HSTRING message);

namespace winsdk {

typedef struct NOTIFICATION_USER_INPUT_DATA {
    LPCWSTR Key;
    LPCWSTR Value;
} NOTIFICATION_USER_INPUT_DATA;
static_assert(sizeof(NOTIFICATION_USER_INPUT_DATA) == 2 * sizeof(void*));

struct INotificationActivationCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Activate(LPCWSTR appUserModelId, LPCWSTR invokedArgs,
                                               const NOTIFICATION_USER_INPUT_DATA* data, ULONG count) = 0;

protected:
    ~INotificationActivationCallback() = default;
};

// ---- Windows.Data.Xml.Dom -------------------------------------------------------------
struct IXmlNode;
struct IXmlText;

struct IXmlDocument : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Doctype(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Implementation(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DocumentElement(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateElement(HSTRING tagName, IInspectable** newElement) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDocumentFragment(IInspectable** newDocumentFragment) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTextNode(HSTRING data, IXmlText** newTextNode) = 0;

protected:
    ~IXmlDocument() = default;
};

struct IXmlDocumentIO : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING xml, IInspectable* loadSettings) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable* file, IInspectable** asyncInfo) = 0;

protected:
    ~IXmlDocumentIO() = default;
};

struct IXmlNodeSerializer : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetXml(HSTRING* outerXml) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_InnerText(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_InnerText(HSTRING value) = 0;

protected:
    ~IXmlNodeSerializer() = default;
};

struct IXmlText : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE SplitText(UINT32 offset, IXmlText** secondPart) = 0;

protected:
    ~IXmlText() = default;
};

// ---- Windows.UI.Notifications ----------------------------------------------------------
struct IToastNotification : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Content(IXmlDocument** value) = 0;

protected:
    ~IToastNotification() = default;
};

struct IToastNotifier : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Show(IToastNotification* notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hide(IToastNotification* notification) = 0;

protected:
    ~IToastNotifier() = default;
};

struct IToastNotificationManagerStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifier(IToastNotifier** notifier) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING applicationId, IToastNotifier** notifier) = 0;

protected:
    ~IToastNotificationManagerStatics() = default;
};

struct IToastNotificationFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotification(IXmlDocument* content,
                                                              IToastNotification** notification) = 0;

protected:
    ~IToastNotificationFactory() = default;
};

}  // namespace winsdk

__CRT_UUID_DECL(winsdk::INotificationActivationCallback, 0x53E31837, 0x6600, 0x4A81, 0x93, 0x95, 0x75, 0xCF, 0xFE, 0x74, 0x6F, 0x94)
__CRT_UUID_DECL(winsdk::IXmlDocument, 0xF7F3A506, 0x1E87, 0x42D6, 0xBC, 0xFB, 0xB8, 0xC8, 0x09, 0xFA, 0x54, 0x94)
__CRT_UUID_DECL(winsdk::IXmlDocumentIO, 0x6CD0E74E, 0xEE65, 0x4489, 0x9E, 0xBF, 0xCA, 0x43, 0xE8, 0x7B, 0xA6, 0x37)
__CRT_UUID_DECL(winsdk::IXmlNodeSerializer, 0x5CC5B382, 0xE6DD, 0x4991, 0xAB, 0xEF, 0x06, 0xD8, 0xD2, 0xE7, 0xBD, 0x0C)
__CRT_UUID_DECL(winsdk::IXmlText, 0xF931A4CB, 0x308D, 0x4760, 0xA1, 0xD5, 0x43, 0xB6, 0x74, 0x50, 0xAC, 0x7E)
__CRT_UUID_DECL(winsdk::IToastNotification, 0x997E2675, 0x059E, 0x4E60, 0x8B, 0x06, 0x17, 0x60, 0x91, 0x7C, 0x8B, 0x80)
__CRT_UUID_DECL(winsdk::IToastNotifier, 0x75927B93, 0x03F3, 0x41EC, 0x91, 0xD3, 0x6E, 0x5B, 0xAC, 0x1B, 0x38, 0xE7)
__CRT_UUID_DECL(winsdk::IToastNotificationManagerStatics, 0x50AC103F, 0xD235, 0x4598, 0xBB, 0xEF, 0x98, 0xFE, 0x4D, 0x1A, 0x3A, 0xD4)
__CRT_UUID_DECL(winsdk::IToastNotificationFactory, 0x04124B20, 0x82C6, 0x4229, 0xB1, 0x09, 0xFD, 0x9E, 0xD4, 0x66, 0x2B, 0x53)

// Other XML node interfaces, reached by QueryInterface only.
namespace winsdk {
inline constexpr IID IID_IXmlNode = {0x1C741D59, 0x2122, 0x47D5, {0xA8, 0x56, 0x83, 0xF3, 0xD4, 0x21, 0x48, 0x75}};
inline constexpr IID IID_IXmlCharacterData = {0x132E42AB, 0x4E36, 0x4DF6, {0xB1, 0xC8, 0x0C, 0xE6, 0x2F, 0xD8, 0x8B, 0x26}};
inline constexpr IID IID_IXmlNodeSelector = {0x63DBBA8B, 0xD0DB, 0x4FE1, {0xB7, 0x45, 0xF9, 0x43, 0x3A, 0xFD, 0xC2, 0x5B}};
}  // namespace winsdk
