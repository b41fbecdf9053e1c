// Stand-in for windows.h on Linux: the parts of the Windows API this program
// uses, implemented by the platform library.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winreg.h>
