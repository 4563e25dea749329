// CProgressCtrl: a progress bar control (msctls_progress32) of a dialog.
#pragma once

#include "ui/framework/wnd.h"

class CProgressCtrl : public CWnd {
public:
    // The bar runs from lower to upper, both carried as 16-bit values.
    void SetRange(short lower, short upper) const;
    void SetStep(int step) const;
    void StepIt() const;
};
