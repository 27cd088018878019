// Parsing of skin attribute values. Malformed values parse as far as they are readable;
// missing numbers read as 0.
#pragma once

#include <windows.h>

namespace dui {

// "l,t,r,b"
RECT ParseRect(const wchar_t* value);
// "cx,cy"
SIZE ParseSize(const wchar_t* value);
// "#AARRGGBB" or "#RRGGBB" (opaque) to 0xAARRGGBB; 0 when unreadable.
DWORD ParseColor(const wchar_t* value);
bool ParseBool(const wchar_t* value);
int ParseInt(const wchar_t* value);

}  // namespace dui
