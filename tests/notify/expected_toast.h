// The English warning toast exactly as the handler must build it, written out
// in full, with the program's directory and the folder path to be filled in.
#pragma once

#include <string>

inline std::u16string ReplaceMarker(std::u16string text, const std::u16string& marker, const std::u16string& by) {
    for (size_t at = text.find(marker); at != std::u16string::npos; at = text.find(marker, at + by.size())) {
        text.replace(at, marker.size(), by);
    }
    return text;
}

// directory and path are placed as given: pass them already escaped.
inline std::u16string ExpectedEnglishToast(const std::u16string& directory, const std::u16string& path,
                                           bool withSelection) {
    const std::u16string toast =
        u"\n"
        u"<toast activationType=\"protocol\" duration=\"long\">\n"
        u"  <visual>\n"
        u"    <binding template=\"ToastGeneric\">\n"
        u"      <text>Encryption is not supported in case sensitive folders</text>\n"
        u"      <image placement=\"appLogoOverride\" src=\"file:///{DIR}\\resources\\logo-corvane-shield.png\"/>\n"
        u"      <group>\n"
        u"        <subgroup hint-textStacking=\"center\">\n"
        u"          <text hint-style=\"body\" hint-wrap=\"true\">Path: {PATH}</text>\n"
        u"          <text hint-style=\"captionSubtle\" hint-wrap=\"true\">Refer to KB31415 for more details</text>\n"
        u"        </subgroup>\n"
        u"       </group>\n"
        u"    </binding>\n"
        u"  </visual>\n"
        u"\n"
        u"  <actions>\n"
        u"    {SELECTION}\n"
        u"    <action activationType=\"background\" arguments=\"RivaVavirezar.dismiss\" content=\"Dismiss\"/>\n"
        u"  </actions>\n"
        u"</toast>\n";
    const std::u16string selection =
        u"\n"
        u"    <input id=\"repeat\" type=\"selection\" defaultInput=\"showagain\">\n"
        u"      <selection id=\"showagain\" content=\"Show this warning again\" />\n"
        u"      <selection id=\"dismiss\" content=\"Never show this warning again\" />\n"
        u"    </input>\n";
    std::u16string text = ReplaceMarker(toast, u"{SELECTION}", withSelection ? selection : u"");
    text = ReplaceMarker(text, u"{DIR}", directory);
    return ReplaceMarker(text, u"{PATH}", path);
}
