#include "ui/DlgUpdateStatus.h"

CDlgUpdateStatus::CDlgUpdateStatus(HWND /*hParent*/) {}

INT_PTR CDlgUpdateStatus::DoModal()
{
    m_hrResult = E_NOTIMPL;
    return -1;
}
