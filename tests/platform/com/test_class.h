// What the COM tests and their server program share: the test class's CLSID
// and the text form in which the server records each Activate call it gets.
#pragma once

#include <notification_platform.h>

#include <string>

namespace comtest {

// {9D3C1A52-6E4B-4F07-8A19-2B5C7D0E6F31}
inline constexpr CLSID kTestClass = {0x9D3C1A52, 0x6E4B, 0x4F07, {0x8A, 0x19, 0x2B, 0x5C, 0x7D, 0x0E, 0x6F, 0x31}};

// One text as "-" (null) or its UTF-16 units in hex, so every unit survives a line-based file.
inline std::string EncodeText(const WCHAR* text) {
    if (text == nullptr) return "-";
    static const char digits[] = "0123456789abcdef";
    std::string encoded = "'";
    for (; *text != 0; ++text) {
        for (int shift = 12; shift >= 0; shift -= 4) encoded += digits[(*text >> shift) & 0xF];
    }
    return encoded;
}

inline std::string EncodeCall(const WCHAR* appUserModelId, const WCHAR* invokedArgs,
                              const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count) {
    std::string line = EncodeText(appUserModelId) + " " + EncodeText(invokedArgs) + " " + std::to_string(count) +
                       (data == nullptr ? " null" : " data");
    for (ULONG i = 0; data != nullptr && i < count; ++i)
        line += " " + EncodeText(data[i].Key) + "=" + EncodeText(data[i].Value);
    return line;
}

}  // namespace comtest
