// The system web-browser control in a window of ours, and the two members of
// its dispatch interface the news page uses.
#pragma once

#include "framework/AfxComPtr.h"
#include "framework/AfxWnd.h"

#include <oaidl.h>

class CIexplorer : public CWnd {
public:
    // {8856F961-340A-11D0-A96B-00C04FD705A2}
    static const CLSID clsid;

    // The browser's "Document" property, on the control and on a frame's browser alike.
    static constexpr DISPID kDispidDocument = 203;

    // Creates the control as a child of pParentWnd. The class name and the
    // creation context are not used: the control decides its own window.
    BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID, void* pContext = nullptr);

    // Null pointers leave the matching arguments out.
    HRESULT Navigate(LPCWSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers);

    // The loaded document; empty while none is loaded.
    CComPtr<IDispatch> GetDocument();

private:
    CComPtr<IDispatch> Browser() const;
};
