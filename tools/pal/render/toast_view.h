// What a stored toast shows, read from its XML the way the notification
// platform reads the ToastGeneric template: the logo, the title, the other
// texts and the groups' columns, the selection boxes and the buttons. Anything
// else in the XML is not shown and is skipped.
#pragma once

#include <string>
#include <vector>

namespace pal::tool {

// The hint-style families of adaptive text; a "Subtle" variant is drawn dimmed.
enum class TextStyle { Caption, Body, Base, Subtitle, Title, Subheader, Header };

struct ToastText {
    std::string text;  // UTF-8
    TextStyle style = TextStyle::Body;
    bool subtle = false;
    bool wrap = false;
    int maxLines = 1;
};

// One subgroup of a group: a column of texts, hint-weight wide among its siblings.
struct ToastColumn {
    std::vector<ToastText> texts;
    double weight = 1;
};

struct ToastView {
    bool hasLogo = false;
    std::string logoSource;  // the src of the appLogoOverride image, as written
    bool logoCircle = false;
    std::vector<ToastText> texts;                  // the title first, then the body lines
    std::vector<std::vector<ToastColumn>> groups;  // each group a row of columns
    std::vector<std::string> selections;           // per selection input, the content it shows
    std::vector<std::string> buttons;              // each action's content
};

// Reads the stored toast; false (with the reason) when its XML is not well-formed
// or is no toast with a ToastGeneric binding.
bool ReadToastView(const std::u16string& xml, ToastView& view, std::string& reason);

}  // namespace pal::tool
