// CDialogBuilder: builds a window's control tree from a skin document.
//
// The document's root element is "Window" with the window's properties as attributes:
// size="cx,cy", mininfo="cx,cy", caption="l,t,r,b" (the draggable band: left and right
// insets, top, and the bottom edge measured from the top), sizebox="l,t,r,b" (resize borders).
// Its "Font" children declare fonts (id, name, size, bold, underline, italic, default); its
// one other child is the root control. Control elements: Control, Container, VerticalLayout,
// HorizontalLayout, Label, Button, Progress; any other element name is offered to the
// callback, and skipped with its children when the callback makes nothing of it.
//
// Common control attributes: name, float="true" with pos="x,y" (or "l,t,r,b") relative to the
// parent, size="cx,cy", width, height, padding="l,t,r,b" (space around the control in a layout),
// inset (containers), bkcolor="#AARRGGBB", bkimage, bordercolor, bordersize, text, textcolor,
// disabledtextcolor, font (a Font id), align, textpadding, visible, enabled, cursor="hand".
// Buttons: normalimage, hotimage, pushedimage, disabledimage. Progress: min, max, value,
// showtext, forecolor, foreimage. Images are member names or "file='...' source='l,t,r,b'
// dest='l,t,r,b'".
#pragma once

#include "duilib/UIDefine.h"
#include "duilib/UIMarkup.h"

class CControlUI;
class CPaintManagerUI;

class CDialogBuilder {
public:
    // `skin` is a res.xml id or a skin file name. Returns the root control (owned by the
    // caller until attached to a paint manager), or null when the skin cannot be read or has
    // no root control. Window properties and fonts go to `manager` when it is given.
    CControlUI* Create(const wchar_t* skin, IDialogBuilderCallback* callback, CPaintManagerUI* manager);
    CControlUI* Create(const CMarkup& markup, IDialogBuilderCallback* callback, CPaintManagerUI* manager);

private:
    CControlUI* Parse(const CMarkupNode& node, IDialogBuilderCallback* callback);
};
