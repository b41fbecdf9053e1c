// The warning toast exactly as the handler must build it, written out in full
// with the texts of a language column, the program's directory and the folder
// path to be filled in. The Linux suites and the Wine lane both compare with it.
#pragma once

#include <string>

#include "tests/notify/expected_strings.h"

inline std::u16string ReplaceMarker(std::u16string text, const std::u16string& marker, const std::u16string& by) {
    for (size_t at = text.find(marker); at != std::u16string::npos; at = text.find(marker, at + by.size())) {
        text.replace(at, marker.size(), by);
    }
    return text;
}

// The warning toast in one language, its texts taken from the column.
// directory and path are placed as given: pass them already escaped.
inline std::u16string ExpectedToast(const LanguageColumn& column, const std::u16string& directory,
                                    const std::u16string& path, bool withSelection) {
    const auto& texts = column.texts;  // ids 101 to 107
    const std::u16string toast =
        u"\n"
        u"<toast activationType=\"protocol\" duration=\"long\">\n"
        u"  <visual>\n"
        u"    <binding template=\"ToastGeneric\">\n"
        u"      <text>{TITLE}</text>\n"
        u"      <image placement=\"appLogoOverride\" src=\"file:///{DIR}\\resources\\logo-corvane-shield.png\"/>\n"
        u"      <group>\n"
        u"        <subgroup hint-textStacking=\"center\">\n"
        u"          <text hint-style=\"body\" hint-wrap=\"true\">{LABEL} {PATH}</text>\n"
        u"          <text hint-style=\"captionSubtle\" hint-wrap=\"true\">{KB}</text>\n"
        u"        </subgroup>\n"
        u"       </group>\n"
        u"    </binding>\n"
        u"  </visual>\n"
        u"\n"
        u"  <actions>\n"
        u"    {SELECTION}\n"
        u"    <action activationType=\"background\" arguments=\"RivaVavirezar.dismiss\" content=\"{DISMISS}\"/>\n"
        u"  </actions>\n"
        u"</toast>\n";
    const std::u16string selection =
        u"\n"
        u"    <input id=\"repeat\" type=\"selection\" defaultInput=\"showagain\">\n"
        u"      <selection id=\"showagain\" content=\"{SHOW}\" />\n"
        u"      <selection id=\"dismiss\" content=\"{NEVER}\" />\n"
        u"    </input>\n";
    std::u16string text = ReplaceMarker(toast, u"{SELECTION}", withSelection ? selection : u"");
    // Texts first: none of them holds a marker, while the path and directory may.
    text = ReplaceMarker(text, u"{TITLE}", texts[1]);
    text = ReplaceMarker(text, u"{LABEL}", texts[3]);
    text = ReplaceMarker(text, u"{KB}", texts[2]);
    text = ReplaceMarker(text, u"{SHOW}", texts[4]);
    text = ReplaceMarker(text, u"{NEVER}", texts[5]);
    text = ReplaceMarker(text, u"{DISMISS}", texts[6]);
    text = ReplaceMarker(text, u"{DIR}", directory);
    return ReplaceMarker(text, u"{PATH}", path);
}

// The English toast; directory and path already escaped.
inline std::u16string ExpectedEnglishToast(const std::u16string& directory, const std::u16string& path,
                                           bool withSelection) {
    return ExpectedToast(Column("English_UK"), directory, path, withSelection);
}
