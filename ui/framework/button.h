// CButton: a push button or check box of a dialog.
#pragma once

#include "ui/framework/wnd.h"

class CButton : public CWnd {
public:
    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    int GetCheck() const;
};
