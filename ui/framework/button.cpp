#include "ui/framework/button.h"

int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
