// Locale names to Windows language identifiers: the primary languages by ISO
// code, and the regions whose sublanguage the program's resources can meet.
// Chinese written in simplified characters (zh, zh_CN, zh_SG, zh_Hans) is 2052.
#include "platform/posix/resources/ui_language.h"

#include <cstdlib>
#include <string>

namespace pal {
namespace {

struct Primary {
    const char* code;
    WORD id;
};

constexpr Primary kPrimaries[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07},
    {"el", 0x08}, {"en", 0x09}, {"es", 0x0a}, {"fi", 0x0b}, {"fr", 0x0c}, {"he", 0x0d}, {"hu", 0x0e},
    {"is", 0x0f}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14},
    {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1a}, {"sk", 0x1b}, {"sv", 0x1d},
    {"th", 0x1e}, {"tr", 0x1f}, {"uk", 0x22}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27},
    {"vi", 0x2a},
};

struct Regional {
    const char* code;
    const char* region;
    WORD id;
};

constexpr Regional kRegionals[] = {
    {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0c07}, {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0c09}, {"en", "CA", 0x1009}, {"en", "NZ", 0x1409},
    {"en", "IE", 0x1809}, {"es", "ES", 0x0c0a}, {"es", "MX", 0x080a}, {"es", "AR", 0x2c0a}, {"fr", "FR", 0x040c},
    {"fr", "BE", 0x080c}, {"fr", "CA", 0x0c0c}, {"fr", "CH", 0x100c}, {"ja", "JP", 0x0411}, {"pl", "PL", 0x0415},
    {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816}, {"zh", "TW", 0x0404}, {"zh", "CN", 0x0804}, {"zh", "HK", 0x0c04},
    {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404},
};

constexpr WORD kChineseSimplified = 0x0804;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return out;
}

// The first non-empty setting, and of LANGUAGE only its first entry.
std::string UserLocaleName() {
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == 0) continue;
        std::string setting(value);
        if (std::string_view(variable) == "LANGUAGE") setting = setting.substr(0, setting.find(':'));
        if (!setting.empty()) return setting;
    }
    return {};
}

}  // namespace

WORD LanguageFromLocaleName(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") return 0;

    std::string language, script, region;
    size_t start = 0;
    for (int part = 0; start <= locale.size(); ++part) {
        const size_t end = locale.find_first_of("_-", start);
        const std::string_view piece = locale.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part == 0) language = Lower(piece);
        else if (piece.size() == 4) script = Lower(piece);
        else if (!piece.empty()) region = Upper(piece);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }

    if (language == "zh" && (script == "hans" || region.empty() || region == "CN" || region == "SG")) return kChineseSimplified;
    for (const Regional& regional : kRegionals) {
        if (language == regional.code && region == regional.region) return regional.id;
    }
    for (const Primary& primary : kPrimaries) {
        if (language == primary.code) return MAKELANGID(primary.id, SUBLANG_NEUTRAL);
    }
    return 0;
}

std::vector<WORD> NeutralLanguageSearchOrder() {
    std::vector<WORD> order;
    auto add = [&order](WORD language) {
        for (WORD present : order) {
            if (present == language) return;
        }
        order.push_back(language);
    };
    if (const WORD user = LanguageFromLocaleName(UserLocaleName()); user != 0) {
        add(user);
        add(MAKELANGID(PRIMARYLANGID(user), SUBLANG_NEUTRAL));
    }
    add(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    add(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    return order;
}

}  // namespace pal
