// The one pixel surface every layer draws into: 32-bit BGRA rows running top-down, the way the
// web engine hands over frames and the way images decode.
#pragma once

#include <windows.h>

#include "common/Handles.h"

// A DIB section of `width` x `height` 32-bit pixels, top-down, its pixels at `*bits`.
// Empty (and *bits null) for a non-positive or unattainable size.
UniqueBitmap CreateTopDownDib(int width, int height, void** bits);
