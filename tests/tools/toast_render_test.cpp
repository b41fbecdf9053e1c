// Pictures of stored toasts: the warning the real server shows, in each of its
// languages, laid out with every glyph found and every text inside the toast;
// and "pal toast render" as a user runs it, on good and on hostile toasts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>

#include "platform/posix/core/utf.h"
#include "tests/e2e/server_fixture.h"
#include "tools/pal/render/toast_painter.h"
#include "tools/pal/render/toast_view.h"

namespace {

using pal::tool::DrawnText;
using pal::tool::kToastWidth;
using pal::tool::PaintToast;
using pal::tool::ReadToastView;
using pal::tool::ToastPicture;
using pal::tool::ToastView;

class ToastPictures : public RegisteredServer {
protected:
    // The newest toast of the store, drawn at scale 1.
    static ToastPicture PaintNewest(ToastView& view) {
        const std::vector<pal::toast_store::Toast> toasts = Toasts();
        std::string reason;
        EXPECT_FALSE(toasts.empty());
        EXPECT_TRUE(!toasts.empty() && ReadToastView(toasts.back().xml, view, reason)) << reason;
        return PaintToast(view, 1);
    }

    static void ExpectLaidOutInside(const ToastPicture& picture, const std::string& context) {
        for (const DrawnText& text : picture.texts) {
            SCOPED_TRACE(context + ": \"" + text.text + "\"");
            EXPECT_EQ(text.unknownGlyphs, 0);
            EXPECT_LE(text.extents.Right(), text.room.Right() + 0.5);
            EXPECT_LE(text.extents.Right(), kToastWidth);
            EXPECT_GE(text.extents.x, 0);
            EXPECT_LE(text.extents.Bottom(), picture.height);
        }
        for (const pal::tool::Box& button : picture.buttons) EXPECT_LE(button.Bottom(), picture.height) << context;
    }
};

TEST_F(ToastPictures, TheWarningInEveryLanguageHasEveryGlyphAndStaysInsideTheToast) {
    for (const char* language : {"en_GB", "de_DE", "es_ES", "fr_FR", "ja_JP", "pl_PL", "zh_CN"}) {
        setenv("LANG", (std::string(language) + ".UTF-8").c_str(), 1);
        for (const char* choice : {"true", "false"}) {
            const std::string context = std::string(language) + ", ShowAgainChoice=" + choice;
            ASSERT_EQ(Display("C:\\Users\\Ana\\R&D <archive>", choice).status, 0) << context;
            ToastView view;
            const ToastPicture picture = PaintNewest(view);
            ExpectLaidOutInside(picture, context);
            EXPECT_TRUE(picture.warnings.empty()) << context << ": " << picture.warnings.front();
            // The title, the path, the reference line, the box when offered, the button.
            const bool offered = std::string(choice) == "true";
            ASSERT_EQ(picture.texts.size(), offered ? 5u : 4u) << context;
            EXPECT_EQ(picture.texts.front().role, DrawnText::Role::Title);
            EXPECT_EQ(picture.texts[picture.texts.size() - 2].role,
                      offered ? DrawnText::Role::Selection : DrawnText::Role::Text);
            EXPECT_EQ(picture.texts.back().role, DrawnText::Role::Button);
            EXPECT_EQ(picture.buttons.size(), 1u);
        }
    }
}

TEST_F(ToastPictures, ALongPathWrapsOntoSeveralLinesAndTheToastGrows) {
    ASSERT_EQ(Display("C:\\Data", "true").status, 0);
    ToastView view;
    const ToastPicture shortPath = PaintNewest(view);

    std::string path = "C:\\Users\\Ana\\Documents";
    while (path.size() < 300) path += "\\Quarterly reports";
    path.resize(300);
    ASSERT_EQ(Display(path, "true").status, 0);
    const ToastPicture longPath = PaintNewest(view);

    ExpectLaidOutInside(longPath, "300-character path");
    ASSERT_GE(longPath.texts.size(), 2u);
    const DrawnText& pathText = longPath.texts[1];
    EXPECT_NE(pathText.text.find("Quarterly"), std::string::npos);
    EXPECT_GE(pathText.lines, 4);
    EXPECT_GE(longPath.height, shortPath.height + 3 * 15);
    ASSERT_EQ(longPath.buttons.size(), 1u);
    EXPECT_GT(longPath.buttons[0].y, pathText.extents.Bottom());
}

// "pal toast render" as a process: the picture's file and size, the store untouched.
class PalToastRender : public RegisteredServer {
protected:
    static int64_t Store(const std::string& xml) {
        int64_t id = 0;
        EXPECT_EQ(pal::toast_store::Append(u"Corvane.Tessaline", pal::FromUtf8(xml), &id), S_OK);
        return id;
    }

    // Width and height from the PNG header.
    static std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        unsigned char header[24] = {};
        file.read(reinterpret_cast<char*>(header), sizeof header);
        auto big = [&](int at) {
            return uint32_t{header[at]} << 24 | uint32_t{header[at + 1]} << 16 | uint32_t{header[at + 2]} << 8 |
                   header[at + 3];
        };
        return {big(16), big(20)};
    }
};

TEST_F(PalToastRender, WritesThePictureWherePromisedAtEitherScale) {
    ASSERT_EQ(Display("C:\\Data", "true").status, 0);
    const std::string id = std::to_string(Toasts().back().id);
    const std::string stored = Pal({"toast", "show", id}).out;

    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(Prefix());
    const e2e::Finished byDefault = Pal({"toast", "render", id});
    std::filesystem::current_path(here);
    ASSERT_EQ(byDefault.status, 0) << byDefault.err;
    EXPECT_EQ(byDefault.out, "toast-" + id + ".png\n");
    EXPECT_EQ(byDefault.err, "");
    const auto [width, height] = PngSize((Prefix() / ("toast-" + id + ".png")).string());
    EXPECT_EQ(width, 364u);

    const std::string out = (Prefix() / "double.png").string();
    const e2e::Finished doubled = Pal({"toast", "render", id, "--scale", "2", "--out", out});
    ASSERT_EQ(doubled.status, 0) << doubled.err;
    EXPECT_EQ(doubled.out, out + "\n");
    EXPECT_EQ(PngSize(out), std::make_pair(728u, 2 * height));

    EXPECT_EQ(Pal({"toast", "show", id}).out, stored);
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"toast", "render"}, {"toast", "render", id, "--scale", "3"},
          {"toast", "render", "99"}, {"toast", "render", id, "--out"}}) {
        const e2e::Finished finished = Pal(refused);
        EXPECT_EQ(finished.status, 1) << refused.back();
        EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
    }
}

TEST_F(PalToastRender, HostileToastsRenderOrFailWithOneLineWithinASecond) {
    const std::string fifo = (Prefix() / "logo.fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string open, close;
    for (int i = 0; i < 100000; ++i) open += "<g>", close += "</g>";
    auto generic = [](const std::string& inside) {
        return "<toast><visual><binding template=\"ToastGeneric\">" + inside + "</binding></visual></toast>";
    };
    auto logo = [&](const std::string& path) {
        return generic("<text>t</text><image placement=\"appLogoOverride\" src=\"file:///" + path + "\"/>");
    };
    const std::string megabyte(1 << 20, 'W');
    struct Case {
        const char* name;
        std::string xml;
        int status;
        long errorLines;
    } cases[] = {
        {"deep nesting", generic("<text>t</text><group>" + open + close + "</group>"), 0, 0},
        {"deep nesting, never closed", generic("<text>t</text>" + open), 1, 1},
        {"a megabyte of text", generic("<text>" + megabyte + "</text><text>" + megabyte + " x</text>"), 0, 0},
        {"logo is a device", logo("/dev/zero"), 0, 1},
        {"logo is a directory", logo(Prefix().string()), 0, 1},
        {"logo is a FIFO", logo(fifo), 0, 1},
        {"logo missing, with backslashes", logo("C:\\no\\such.png"), 0, 1},
        {"no ToastGeneric binding", "<toast/>", 1, 1},
    };
    for (const Case& c : cases) {
        const std::string id = std::to_string(Store(c.xml));
        const auto started = std::chrono::steady_clock::now();
        const e2e::Finished finished = Pal({"toast", "render", id, "--out", (Prefix() / "hostile.png").string()});
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << c.name;
        EXPECT_EQ(finished.status, c.status) << c.name << ": " << finished.err;
        EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), c.errorLines) << c.name << ": " << finished.err;
    }
}

}  // namespace
