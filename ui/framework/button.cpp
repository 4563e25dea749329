#include "ui/framework/button.h"

int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }

void CButton::SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
