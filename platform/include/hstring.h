// Stand-in for hstring.h: the opaque Windows Runtime string handle and the
// header that backs a string reference (24 bytes, 8-aligned, as on x64).
#pragma once

#include <windef.h>

struct HSTRING__;
typedef HSTRING__* HSTRING;

typedef struct HSTRING_HEADER {
    union {
        PVOID Reserved1;
        char Reserved2[24];
    } Reserved;
} HSTRING_HEADER;
static_assert(sizeof(HSTRING_HEADER) == 24 && alignof(HSTRING_HEADER) == 8);
