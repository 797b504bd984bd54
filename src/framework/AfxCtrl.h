// Wrappers of the common controls the dialogs use.
#pragma once

#include "framework/AfxWnd.h"

// The status dialog speaks to the bar with the control's own messages.
class CProgressCtrl : public CWnd {
};
