// Wrappers of the common controls the dialogs use.
#pragma once

#include "framework/AfxWnd.h"

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int nLower, int nUpper);
    // Returns the previous position.
    int SetPos(int nPos);
};
