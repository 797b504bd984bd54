// The modal dialog through which an interactive or automatic update runs.
#pragma once

#include <windows.h>

class CCommandLineUpdate;

class CDlgUpdateStatus {
public:
    explicit CDlgUpdateStatus(HWND hParent = nullptr);
    virtual ~CDlgUpdateStatus() = default;

    void SetAutoMode(BOOL bAuto) { m_bAutoMode = bAuto; }
    virtual INT_PTR DoModal();

    BOOL m_bAutoMode = 0;
    CCommandLineUpdate* m_pCmdLine = nullptr;
    HRESULT m_hrResult = S_OK;
};
