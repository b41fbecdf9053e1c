// Everything is drawn once at toast-pixel size into a recording surface, whose
// extent gives the height; the recording is then replayed at the chosen scale,
// so text and shapes stay sharp at scale 2. The metrics follow the Windows 10
// toast: 16 px margins, a 48 px logo, 32 px boxes and buttons.
#include "tools/pal/render/toast_painter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "tools/pal/render/logo_image.h"

namespace pal::tool {
namespace {

constexpr double kMargin = 16;
constexpr double kLogoSize = 48;
constexpr double kLogoGap = 12;
constexpr double kRowGap = 12;
constexpr double kColumnGap = 8;
constexpr double kControlHeight = 32;
constexpr double kButtonGap = 4;
constexpr double kControlPadding = 10;
constexpr double kSubtleAlpha = 0.6;
constexpr const char* kFontFamilies = "Segoe UI, Noto Sans, Noto Sans CJK JP, sans-serif";

struct Rgb {
    double r, g, b;
};
constexpr Rgb kBackground{0x1F / 255.0, 0x1F / 255.0, 0x1F / 255.0};
constexpr Rgb kControlFill{0x2D / 255.0, 0x2D / 255.0, 0x2D / 255.0};
constexpr Rgb kControlBorder{0x6E / 255.0, 0x6E / 255.0, 0x6E / 255.0};
constexpr Rgb kButtonFill{0x3A / 255.0, 0x3A / 255.0, 0x3A / 255.0};
constexpr Rgb kPlaceholder{0x44 / 255.0, 0x44 / 255.0, 0x44 / 255.0};

struct FontFace {
    double pixels;
    PangoWeight weight;
};

FontFace FaceOf(TextStyle style) {
    switch (style) {
    case TextStyle::Caption: return {12, PANGO_WEIGHT_NORMAL};
    case TextStyle::Body: return {15, PANGO_WEIGHT_NORMAL};
    case TextStyle::Base: return {15, PANGO_WEIGHT_SEMIBOLD};
    case TextStyle::Subtitle: return {20, PANGO_WEIGHT_NORMAL};
    case TextStyle::Title: return {24, PANGO_WEIGHT_SEMILIGHT};
    case TextStyle::Subheader: return {34, PANGO_WEIGHT_LIGHT};
    case TextStyle::Header: return {46, PANGO_WEIGHT_LIGHT};
    }
    return {15, PANGO_WEIGHT_NORMAL};
}

// Han characters look different in Japanese and Chinese fonts; kana tell the two apart.
const char* LanguageOf(const std::string& text) {
    bool han = false;
    for (const char* p = text.c_str(); *p != 0; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (c >= 0x3040 && c <= 0x30FF) return "ja";
        han = han || (c >= 0x4E00 && c <= 0x9FFF);
    }
    return han ? "zh-cn" : nullptr;
}

void SetColor(cairo_t* cr, Rgb color, double alpha = 1) { cairo_set_source_rgba(cr, color.r, color.g, color.b, alpha); }

void FillRectangle(cairo_t* cr, const Box& box, Rgb fill) {
    SetColor(cr, fill);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_fill(cr);
}

class Painter {
public:
    explicit Painter(cairo_t* cr) : cr_(cr) {}

    // Lays out and draws text in room (its width; at most maxLines, ellipsized).
    DrawnText Text(DrawnText::Role role, const std::string& text, FontFace face, Box room, int maxLines,
                   PangoAlignment alignment = PANGO_ALIGN_LEFT, double alpha = 1) {
        unique_gobject<PangoLayout> layout(pango_cairo_create_layout(cr_));
        PangoFontDescription* font = pango_font_description_from_string(kFontFamilies);
        pango_font_description_set_absolute_size(font, face.pixels * PANGO_SCALE);
        pango_font_description_set_weight(font, face.weight);
        pango_layout_set_font_description(layout.get(), font);
        pango_font_description_free(font);
        if (const char* language = LanguageOf(text)) {
            PangoAttrList* attributes = pango_attr_list_new();
            pango_attr_list_insert(attributes, pango_attr_language_new(pango_language_from_string(language)));
            pango_layout_set_attributes(layout.get(), attributes);
            pango_attr_list_unref(attributes);
        }
        pango_layout_set_width(layout.get(), static_cast<int>(room.width * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout.get(), -std::max(1, maxLines));
        pango_layout_set_single_paragraph_mode(layout.get(), maxLines == 1);
        pango_layout_set_alignment(layout.get(), alignment);
        pango_layout_set_text(layout.get(), text.c_str(), -1);

        PangoRectangle logical{};
        pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
        const double top = room.height > 0 ? room.y + (room.height - logical.height) / 2 : room.y;
        cairo_save(cr_);
        cairo_set_source_rgba(cr_, 1, 1, 1, alpha);
        cairo_move_to(cr_, room.x, top);
        pango_cairo_show_layout(cr_, layout.get());
        cairo_restore(cr_);

        DrawnText drawn;
        drawn.role = role;
        drawn.text = text;
        drawn.extents = {room.x + logical.x, top + logical.y, static_cast<double>(logical.width),
                         static_cast<double>(logical.height)};
        drawn.room = room;
        drawn.lines = pango_layout_get_line_count(layout.get());
        drawn.unknownGlyphs = pango_layout_get_unknown_glyphs_count(layout.get());
        return drawn;
    }

    void Logo(const ToastView& view, const Box& box, std::vector<std::string>& warnings) {
        std::string reason;
        const unique_surface picture = LoadLogo(view.logoSource, reason);
        cairo_save(cr_);
        if (view.logoCircle) {
            cairo_arc(cr_, box.x + box.width / 2, box.y + box.height / 2, box.width / 2, 0, 2 * M_PI);
            cairo_clip(cr_);
        }
        if (picture) {
            const int width = cairo_image_surface_get_width(picture.get());
            const int height = cairo_image_surface_get_height(picture.get());
            cairo_translate(cr_, box.x, box.y);
            cairo_scale(cr_, box.width / width, box.height / height);
            cairo_set_source_surface(cr_, picture.get(), 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_BEST);
            cairo_paint(cr_);
        } else {
            warnings.push_back("the logo cannot be drawn (" + reason + "); a placeholder stands in its place");
            FillRectangle(cr_, box, kPlaceholder);
            SetColor(cr_, kControlBorder);
            cairo_set_line_width(cr_, 1);
            cairo_rectangle(cr_, box.x + 0.5, box.y + 0.5, box.width - 1, box.height - 1);
            cairo_stroke(cr_);
        }
        cairo_restore(cr_);
    }

    void Chevron(const Box& control) {
        const double cx = control.Right() - kControlPadding - 6, cy = control.y + control.height / 2;
        cairo_save(cr_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_set_line_width(cr_, 1.2);
        cairo_move_to(cr_, cx - 5, cy - 2.5);
        cairo_line_to(cr_, cx, cy + 2.5);
        cairo_line_to(cr_, cx + 5, cy - 2.5);
        cairo_stroke(cr_);
        cairo_restore(cr_);
    }

    void Outline(const Box& box) {
        SetColor(cr_, kControlBorder);
        cairo_set_line_width(cr_, 1);
        cairo_rectangle(cr_, box.x + 0.5, box.y + 0.5, box.width - 1, box.height - 1);
        cairo_stroke(cr_);
    }

    cairo_t* Context() const { return cr_; }

private:
    cairo_t* cr_;
};

// The texts beside the logo: the title and body lines, then each group's columns.
double DrawTexts(Painter& painter, const ToastView& view, double x, double y, ToastPicture& picture) {
    const double width = kToastWidth - kMargin - x;
    for (const ToastText& text : view.texts) {
        const auto role = picture.texts.empty() ? DrawnText::Role::Title : DrawnText::Role::Text;
        picture.texts.push_back(painter.Text(role, text.text, FaceOf(text.style), {x, y, width, 0}, text.maxLines,
                                             PANGO_ALIGN_LEFT, text.subtle ? kSubtleAlpha : 1));
        y = std::max(y, picture.texts.back().extents.Bottom());
    }
    for (const std::vector<ToastColumn>& group : view.groups) {
        double weights = 0;
        for (const ToastColumn& column : group) weights += column.weight;
        const double shared = width - kColumnGap * static_cast<double>(group.size() - 1);
        double left = x, bottom = y;
        for (const ToastColumn& column : group) {
            const double columnWidth = shared * column.weight / weights;
            double top = y;
            for (const ToastText& text : column.texts) {
                picture.texts.push_back(painter.Text(DrawnText::Role::Text, text.text, FaceOf(text.style),
                                                     {left, top, columnWidth, 0}, text.maxLines, PANGO_ALIGN_LEFT,
                                                     text.subtle ? kSubtleAlpha : 1));
                top = std::max(top, picture.texts.back().extents.Bottom());
            }
            bottom = std::max(bottom, top);
            left += columnWidth + kColumnGap;
        }
        y = bottom;
    }
    return y;
}

// The selection boxes and the row of buttons below the content.
double DrawActions(Painter& painter, const ToastView& view, double y, ToastPicture& picture) {
    constexpr double kWidth = kToastWidth - 2 * kMargin;
    const FontFace body = FaceOf(TextStyle::Body);
    for (const std::string& selection : view.selections) {
        y += kRowGap;
        const Box control{kMargin, y, kWidth, kControlHeight};
        FillRectangle(painter.Context(), control, kControlFill);
        painter.Outline(control);
        painter.Chevron(control);
        const Box room{control.x + kControlPadding, control.y, control.width - 3 * kControlPadding - 12,
                       control.height};
        picture.texts.push_back(painter.Text(DrawnText::Role::Selection, selection, body, room, 1));
        y = control.Bottom();
    }
    if (view.buttons.empty()) return y;
    y += kRowGap;
    const double count = static_cast<double>(view.buttons.size());
    const double buttonWidth = (kWidth - kButtonGap * (count - 1)) / count;
    double x = kMargin;
    for (const std::string& content : view.buttons) {
        const Box button{x, y, buttonWidth, kControlHeight};
        FillRectangle(painter.Context(), button, kButtonFill);
        picture.buttons.push_back(button);
        const Box room{button.x + kControlPadding / 2, button.y, button.width - kControlPadding, button.height};
        picture.texts.push_back(
            painter.Text(DrawnText::Role::Button, content, body, room, 1, PANGO_ALIGN_CENTER));
        x += buttonWidth + kButtonGap;
    }
    return y + kControlHeight;
}

}  // namespace

ToastPicture PaintToast(const ToastView& view, int scale) {
    ToastPicture picture;
    unique_surface recording(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr));
    double bottom = kMargin;
    {
        unique_cairo cr(cairo_create(recording.get()));
        Painter painter(cr.get());
        double textLeft = kMargin;
        if (view.hasLogo) {
            picture.logo = {kMargin, kMargin, kLogoSize, kLogoSize};
            painter.Logo(view, picture.logo, picture.warnings);
            textLeft += kLogoSize + kLogoGap;
            bottom = picture.logo.Bottom();
        }
        bottom = std::max(bottom, DrawTexts(painter, view, textLeft, kMargin, picture));
        bottom = DrawActions(painter, view, bottom, picture);
    }
    picture.height = static_cast<int>(std::ceil(bottom + kMargin));

    picture.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kToastWidth * scale, picture.height * scale));
    unique_cairo cr(cairo_create(picture.surface.get()));
    cairo_scale(cr.get(), scale, scale);
    SetColor(cr.get(), kBackground);
    cairo_paint(cr.get());
    cairo_set_source_surface(cr.get(), recording.get(), 0, 0);
    cairo_paint(cr.get());
    return picture;
}

}  // namespace pal::tool
