// pal-toast-render ID [--out FILE.png] [--scale 1|2]: draws a stored toast into
// a PNG file and prints its path. pal runs it for "pal toast render"; it is a
// program of its own so that pal's other verbs never load Pango and Cairo.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/winrt/toast_store.h"
#include "tools/pal/render/toast_painter.h"
#include "tools/pal/render/toast_view.h"

namespace {

constexpr const char* kUsage = "usage: pal toast render ID [--out FILE.png] [--scale 1|2]\n";

struct RenderRequest {
    long long id = 0;
    std::string out;
    int scale = 1;
};

std::optional<RenderRequest> ParseRequest(const std::vector<std::string>& arguments) {
    RenderRequest request;
    char* end = nullptr;
    if (arguments.empty()) return std::nullopt;
    request.id = std::strtoll(arguments[0].c_str(), &end, 10);
    if (end == arguments[0].c_str() || *end != '\0') return std::nullopt;
    for (size_t i = 1; i < arguments.size(); i += 2) {
        if (i + 1 >= arguments.size()) return std::nullopt;
        if (arguments[i] == "--out" && !arguments[i + 1].empty()) {
            request.out = arguments[i + 1];
        } else if (arguments[i] == "--scale" && (arguments[i + 1] == "1" || arguments[i + 1] == "2")) {
            request.scale = arguments[i + 1][0] - '0';
        } else {
            return std::nullopt;
        }
    }
    if (request.out.empty()) request.out = "toast-" + std::to_string(request.id) + ".png";
    return request;
}

int Fail(const std::string& reason) {
    std::fprintf(stderr, "pal toast render: %s\n", reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pal::tool;
    const std::optional<RenderRequest> request = ParseRequest(std::vector<std::string>(argv + 1, argv + argc));
    if (!request) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::optional<pal::toast_store::Toast> toast = pal::toast_store::Find(request->id);
    if (!toast) return Fail("no toast with id " + std::to_string(request->id));
    ToastView view;
    std::string reason;
    if (!ReadToastView(toast->xml, view, reason)) return Fail("toast " + std::to_string(request->id) + ": " + reason);

    const ToastPicture picture = PaintToast(view, request->scale);
    for (const std::string& warning : picture.warnings) std::fprintf(stderr, "pal toast render: warning: %s\n", warning.c_str());
    if (const cairo_status_t status = cairo_surface_write_to_png(picture.surface.get(), request->out.c_str());
        status != CAIRO_STATUS_SUCCESS)
        return Fail("cannot write " + request->out + ": " + cairo_status_to_string(status));
    std::printf("%s\n", request->out.c_str());
    return 0;
}
