// The UI framework: skinned windows built from skin documents, their controls, the skin
// archive, markup parsing and the framework's string and map types.
#pragma once

#include "duilib/UIString.h"
#include "duilib/UIStringPtrMap.h"
#include "duilib/UIMarkup.h"
#include "duilib/UIDefine.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"
#include "duilib/UIControl.h"
#include "duilib/UIContainer.h"
#include "duilib/UILabel.h"
#include "duilib/UIButton.h"
#include "duilib/UIProgress.h"
#include "duilib/UIDlgBuilder.h"
#include "duilib/UIBase.h"
#include "duilib/WindowImplBase.h"
