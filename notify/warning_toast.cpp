// The warning toast's template and selection fragment, and the seven texts
// they are filled with. Each text is a function-local static: its initialiser
// runs once under the runtime's thread-safe rule, and an initialiser that
// raises leaves it uninitialised, so the next display tries again.
#include "notify/warning_toast.h"

#include "notify/platform_queries.h"
#include "notify/string_resources.h"
#include "notify/user_input.h"
#include "notify/xml_escape.h"
#include "resources/resource_ids.h"

namespace {

// Kept character for character, the group's seven-space closing tag and the
// four spaces before the fragment included: the text is part of the product's
// interface. Every line ends with a line feed.
constexpr WCHAR kToastTemplate[] =
    TEXT("\n")
    TEXT("<toast activationType=\"protocol\" duration=\"long\">\n")
    TEXT("  <visual>\n")
    TEXT("    <binding template=\"ToastGeneric\">\n")
    TEXT("      <text>%s</text>\n")
    TEXT("      <image placement=\"appLogoOverride\" src=\"file:///%s\\resources\\logo-corvane-shield.png\"/>\n")
    TEXT("      <group>\n")
    TEXT("        <subgroup hint-textStacking=\"center\">\n")
    TEXT("          <text hint-style=\"body\" hint-wrap=\"true\">%s %s</text>\n")
    TEXT("          <text hint-style=\"captionSubtle\" hint-wrap=\"true\">%s</text>\n")
    TEXT("        </subgroup>\n")
    TEXT("       </group>\n")
    TEXT("    </binding>\n")
    TEXT("  </visual>\n")
    TEXT("\n")
    TEXT("  <actions>\n")
    TEXT("    %s\n")
    TEXT("    <action activationType=\"background\" arguments=\"RivaVavirezar.dismiss\" content=\"%s\"/>\n")
    TEXT("  </actions>\n")
    TEXT("</toast>\n");

constexpr WCHAR kSelectionFragment[] =
    TEXT("\n")
    TEXT("    <input id=\"repeat\" type=\"selection\" defaultInput=\"showagain\">\n")
    TEXT("      <selection id=\"showagain\" content=\"%s\" />\n")
    TEXT("      <selection id=\"dismiss\" content=\"%s\" />\n")
    TEXT("    </input>\n");

template <UINT Id> const CWideString& WarningString() {
    static const CWideString text = LoadEscapedString(Id);
    return text;
}

}  // namespace

void EnsureWarningStringsLoaded() {
    WarningString<IDS_PRODUCT_NAME>();
    WarningString<IDS_WARNING_TITLE>();
    WarningString<IDS_KB_REFERENCE>();
    WarningString<IDS_PATH_LABEL>();
    WarningString<IDS_SHOW_AGAIN>();
    WarningString<IDS_NEVER_SHOW_AGAIN>();
    WarningString<IDS_DISMISS_BUTTON>();
}

CWideString ComposeWarningToast(const WCHAR* path, const WCHAR* choice) {
    EnsureWarningStringsLoaded();
    CWideString fragment;
    CWideString xml;
    if (EqualsFoldingAsciiLetters(choice, TEXT("true"))) {
        fragment.Format(kSelectionFragment, WarningString<IDS_SHOW_AGAIN>(), WarningString<IDS_NEVER_SHOW_AGAIN>());
    }
    {
        const CWideString escapedPath = EscapeXml(path);
        const CWideString escapedDirectory = EscapeXml(GetModuleDirectory());
        xml.Format(kToastTemplate, WarningString<IDS_WARNING_TITLE>(), escapedDirectory, WarningString<IDS_PATH_LABEL>(),
                   escapedPath, WarningString<IDS_KB_REFERENCE>(), fragment, WarningString<IDS_DISMISS_BUTTON>());
    }
    return xml;
}
