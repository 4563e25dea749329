// CStatic: a static text control of a dialog. Its text is set with
// CWnd::SetWindowText; the control redraws itself at once.
#pragma once

#include "ui/framework/wnd.h"

class CStatic : public CWnd {};
