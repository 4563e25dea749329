#include "ui/framework/progress_ctrl.h"

void CProgressCtrl::SetRange(short lower, short upper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }

void CProgressCtrl::SetStep(int step) const { SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)); }

void CProgressCtrl::StepIt() const { SendMessage(PBM_STEPIT); }
