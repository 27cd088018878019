// The UI framework: skinned windows built from skin documents, their controls, the skin
// archive, markup parsing and the framework's string and map types.
#pragma once

#include "duilib/UIString.h"
#include "duilib/UIStringPtrMap.h"
#include "duilib/UIMarkup.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"
