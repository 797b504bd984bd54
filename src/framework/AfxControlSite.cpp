#include "framework/AfxControlSite.h"

CComPtr<CControlSite> CControlSite::Create(HWND hHost)
{
    return CComPtr<CControlSite>::Adopt(new CControlSite(hHost));
}

STDMETHODIMP CControlSite::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (riid == IID_IOleControlSite)
        *ppv = static_cast<IOleControlSite*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CControlSite::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CControlSite::Release()
{
    const LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

// The container keeps no documents, monikers or undo state of its own.
STDMETHODIMP CControlSite::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP CControlSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CControlSite::GetContainer(IOleContainer** ppContainer)
{
    if (ppContainer)
        *ppContainer = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP CControlSite::ShowObject() { return S_OK; }
STDMETHODIMP CControlSite::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP CControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

STDMETHODIMP CControlSite::GetWindow(HWND* phwnd)
{
    if (!phwnd)
        return E_POINTER;
    *phwnd = m_hHost;
    return m_hHost ? S_OK : E_FAIL;
}
STDMETHODIMP CControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP CControlSite::CanInPlaceActivate() { return m_hHost ? S_OK : S_FALSE; }
STDMETHODIMP CControlSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP CControlSite::OnUIActivate() { return S_OK; }

STDMETHODIMP CControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                            LPRECT lprcPosRect, LPRECT lprcClipRect,
                                            LPOLEINPLACEFRAMEINFO lpFrameInfo)
{
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo)
        return E_POINTER;
    *ppFrame = nullptr;
    *ppDoc = nullptr;
    if (!m_hHost)
        return E_FAIL;
    // The control fills the host, and the site acts as frame and document window.
    ::GetClientRect(m_hHost, lprcPosRect);
    *lprcClipRect = *lprcPosRect;
    *ppFrame = this;
    AddRef();
    *ppDoc = this;
    AddRef();
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = ::GetAncestor(m_hHost, GA_ROOT);
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP CControlSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP CControlSite::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP CControlSite::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP CControlSite::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP CControlSite::DeactivateAndUndo() { return E_NOTIMPL; }

// The host decides the size: a control asking for another is put back in place.
STDMETHODIMP CControlSite::OnPosRectChange(LPCRECT)
{
    RECT rc = {};
    if (!m_hHost || !::GetClientRect(m_hHost, &rc))
        return E_FAIL;
    ::SendMessageW(m_hHost, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
    return S_OK;
}

// No toolbars: the host window has no room around the control.
STDMETHODIMP CControlSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP CControlSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP CControlSite::SetBorderSpace(LPCBORDERWIDTHS pborderwidths)
{
    if (!pborderwidths)
        return S_OK;
    const bool none = pborderwidths->left == 0 && pborderwidths->top == 0 && pborderwidths->right == 0 &&
                      pborderwidths->bottom == 0;
    return none ? S_OK : INPLACE_E_NOTOOLSPACE;
}

// Keys reach the control through its own active-object interface (the host asks for it).
STDMETHODIMP CControlSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }

// No shared menus: the dialog has none.
STDMETHODIMP CControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP CControlSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP CControlSite::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP CControlSite::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP CControlSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

STDMETHODIMP CControlSite::OnControlInfoChanged() { return S_OK; }
STDMETHODIMP CControlSite::LockInPlaceActive(BOOL) { return S_OK; }
STDMETHODIMP CControlSite::GetExtendedControl(IDispatch** ppDisp)
{
    if (ppDisp)
        *ppDisp = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CControlSite::TransformCoords(POINTL*, POINTF*, DWORD) { return E_NOTIMPL; }
// Keys the control does not want go on to the dialog's own handling.
STDMETHODIMP CControlSite::TranslateAccelerator(LPMSG, DWORD) { return S_FALSE; }
STDMETHODIMP CControlSite::OnFocus(BOOL) { return S_OK; }
STDMETHODIMP CControlSite::ShowPropertyFrame() { return E_NOTIMPL; }
