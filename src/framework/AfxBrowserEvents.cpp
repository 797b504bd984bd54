#include "framework/AfxBrowserEvents.h"

#include <exdisp.h>
#include <exdispid.h>

CComPtr<CBrowserEventSink> CBrowserEventSink::Create()
{
    return CComPtr<CBrowserEventSink>::Adopt(new CBrowserEventSink());
}

STDMETHODIMP CBrowserEventSink::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    // The connection point may ask for its own event interface, which is a dispatch interface.
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CBrowserEventSink::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CBrowserEventSink::Release()
{
    const LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CBrowserEventSink::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CBrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                       VARIANT*, EXCEPINFO*, UINT*)
{
    if (!pDispParams)
        return E_INVALIDARG;
    switch (dispIdMember) {
    case DISPID_BEFORENAVIGATE2:
        return BeforeNavigate2(*pDispParams);
    case DISPID_NEWWINDOW2:
        return NewWindow2(*pDispParams);
    default:
        // The control fires many events; those nobody listens to are fine.
        return S_OK;
    }
}

HRESULT CBrowserEventSink::BeforeNavigate2(const DISPPARAMS& params)
{
    const UINT count = 7;
    const VARTYPE byrefVariant = VT_BYREF | VT_VARIANT;
    VARIANT* pDisp = AfxEventParam(params, count, 0, VT_DISPATCH);
    VARIANT* pUrl = AfxEventParam(params, count, 1, byrefVariant);
    VARIANT* pFlags = AfxEventParam(params, count, 2, byrefVariant);
    VARIANT* pTarget = AfxEventParam(params, count, 3, byrefVariant);
    VARIANT* pPostData = AfxEventParam(params, count, 4, byrefVariant);
    VARIANT* pHeaders = AfxEventParam(params, count, 5, byrefVariant);
    VARIANT* pCancel = AfxEventParam(params, count, 6, VT_BYREF | VT_BOOL);
    if (!pDisp || !pUrl || !pFlags || !pTarget || !pPostData || !pHeaders || !pCancel)
        return params.cArgs == count ? DISP_E_TYPEMISMATCH : DISP_E_BADPARAMCOUNT;
    if (m_pReceiver)
        m_pReceiver->OnBeforeNavigate2(pDisp->pdispVal, pUrl->pvarVal, pFlags->pvarVal, pTarget->pvarVal,
                                       pPostData->pvarVal, pHeaders->pvarVal, pCancel->pboolVal);
    return S_OK;
}

HRESULT CBrowserEventSink::NewWindow2(const DISPPARAMS& params)
{
    const UINT count = 2;
    VARIANT* ppDisp = AfxEventParam(params, count, 0, VT_BYREF | VT_DISPATCH);
    VARIANT* pCancel = AfxEventParam(params, count, 1, VT_BYREF | VT_BOOL);
    if (!ppDisp || !pCancel)
        return params.cArgs == count ? DISP_E_TYPEMISMATCH : DISP_E_BADPARAMCOUNT;
    if (m_pReceiver)
        m_pReceiver->OnNewWindow2(ppDisp->ppdispVal, pCancel->pboolVal);
    return S_OK;
}

VARIANT* AfxEventParam(const DISPPARAMS& params, UINT nCount, UINT nParam, VARTYPE vt)
{
    if (params.cArgs != nCount || nParam >= nCount || !params.rgvarg)
        return nullptr;
    // Dispatch arguments arrive last first.
    VARIANT* pArg = &params.rgvarg[nCount - 1 - nParam];
    if (pArg->vt != vt)
        return nullptr;
    // A by-reference argument must point somewhere: the receiver writes through it.
    if ((vt & VT_BYREF) && !pArg->byref)
        return nullptr;
    return pArg;
}
