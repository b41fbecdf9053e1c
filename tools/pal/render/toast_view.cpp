// Only fixed paths below <toast> are looked at, so however deep a document
// nests, reading it costs no more than its parse. Each text keeps at most a
// few thousand bytes: more than any toast can show, and Pango need not shape a
// megabyte that will be cut off anyway.
#include "tools/pal/render/toast_view.h"

#include <cstring>
#include <string_view>

#include "tools/pal/toast_xml.h"

namespace pal::tool {
namespace {

constexpr size_t kLongestText = 4096;  // bytes kept of one text element
constexpr int kTitleLines = 2;
constexpr int kBodyLines = 4;       // the texts after the title share these
constexpr int kWrappedLines = 12;   // a wrapped group text without hint-maxLines
constexpr size_t kMostActions = 5;  // buttons, and selection boxes, as the platform allows
constexpr size_t kMostGroupTexts = 20;  // texts of all the groups together

// At most kLongestText bytes, cut at a character boundary, on one line.
std::string Capped(std::string text) {
    if (text.size() > kLongestText) {
        size_t cut = kLongestText;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    for (char& c : text) {
        if (c == '\r' || c == '\t') c = ' ';
    }
    return text;
}

std::string TextOf(const pugi::xml_node& element) {
    std::string text;
    for (const pugi::xml_node& child : element.children()) {
        if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) continue;
        text += child.value();
        if (text.size() > kLongestText) break;
    }
    return Capped(std::move(text));
}

void ReadStyle(const pugi::xml_node& element, ToastText& text) {
    static constexpr std::pair<const char*, TextStyle> kStyles[] = {
        {"caption", TextStyle::Caption},     {"body", TextStyle::Body},           {"base", TextStyle::Base},
        {"subtitle", TextStyle::Subtitle},   {"title", TextStyle::Title},         {"subheader", TextStyle::Subheader},
        {"header", TextStyle::Header},
    };
    std::string_view hint = element.attribute("hint-style").as_string();
    constexpr std::string_view kSubtle = "Subtle";
    if (hint.size() > kSubtle.size() && hint.substr(hint.size() - kSubtle.size()) == kSubtle) {
        text.subtle = true;
        hint.remove_suffix(kSubtle.size());
    }
    for (const auto& [name, style] : kStyles) {
        if (hint == name) text.style = style;
    }
}

ToastText GroupText(const pugi::xml_node& element) {
    ToastText text{TextOf(element), TextStyle::Caption};
    ReadStyle(element, text);
    text.wrap = element.attribute("hint-wrap").as_bool();
    const int maxLines = element.attribute("hint-maxLines").as_int(0);
    text.maxLines = !text.wrap ? 1 : maxLines > 0 && maxLines < kWrappedLines ? maxLines : kWrappedLines;
    return text;
}

std::vector<ToastColumn> ReadGroup(const pugi::xml_node& group, size_t& textsLeft) {
    std::vector<ToastColumn> columns;
    for (const pugi::xml_node& subgroup : group.children("subgroup")) {
        if (textsLeft == 0) break;
        ToastColumn column;
        const double weight = subgroup.attribute("hint-weight").as_double(1);
        column.weight = weight > 0 && weight <= 100 ? weight : 1;
        for (const pugi::xml_node& text : subgroup.children("text")) {
            if (textsLeft == 0) break;
            column.texts.push_back(GroupText(text));
            --textsLeft;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

void ReadBinding(const pugi::xml_node& binding, ToastView& view) {
    int bodyLinesLeft = kBodyLines;
    size_t groupTextsLeft = kMostGroupTexts;
    for (const pugi::xml_node& element : binding.children()) {
        const std::string_view name = element.name();
        if (name == "text") {
            const bool title = view.texts.empty();
            if (!title && bodyLinesLeft == 0) continue;
            ToastText text{TextOf(element), title ? TextStyle::Base : TextStyle::Body, false, true,
                           title ? kTitleLines : bodyLinesLeft};
            if (!title) --bodyLinesLeft;
            view.texts.push_back(std::move(text));
        } else if (name == "image" && std::strcmp(element.attribute("placement").as_string(), "appLogoOverride") == 0 &&
                   !view.hasLogo) {
            view.hasLogo = true;
            view.logoSource = Capped(element.attribute("src").as_string());
            view.logoCircle = std::strcmp(element.attribute("hint-crop").as_string(), "circle") == 0;
        } else if (name == "group") {
            if (std::vector<ToastColumn> columns = ReadGroup(element, groupTextsLeft); !columns.empty())
                view.groups.push_back(std::move(columns));
        }
    }
}

void ReadActions(const pugi::xml_node& actions, ToastView& view) {
    for (const pugi::xml_node& element : actions.children()) {
        const std::string_view name = element.name();
        if (name == "input" && std::strcmp(element.attribute("type").as_string(), "selection") == 0 &&
            view.selections.size() < kMostActions) {
            const std::string chosen = DefaultSelectionId(element);
            const pugi::xml_node selection = element.find_child_by_attribute("selection", "id", chosen.c_str());
            view.selections.push_back(Capped(selection.attribute("content").as_string()));
        } else if (name == "action" && view.buttons.size() < kMostActions) {
            view.buttons.push_back(Capped(element.attribute("content").as_string()));
        }
    }
}

}  // namespace

bool ReadToastView(const std::u16string& xml, ToastView& view, std::string& reason) {
    pugi::xml_document document;
    if (!LoadToastXml(xml, document)) {
        reason = "the toast's XML is not well-formed";
        return false;
    }
    const pugi::xml_node toast = document.child("toast");
    const pugi::xml_node binding =
        toast.child("visual").find_child_by_attribute("binding", "template", "ToastGeneric");
    if (!binding) {
        reason = "the toast has no ToastGeneric binding";
        return false;
    }
    view = ToastView{};
    ReadBinding(binding, view);
    ReadActions(toast.child("actions"), view);
    return true;
}

}  // namespace pal::tool
