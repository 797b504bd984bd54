// Events of the web-browser control, delivered to a C++ receiver.
#pragma once

#include "framework/AfxComPtr.h"

#include <oaidl.h>

// What a window that shows the browser is told. Both run on the host's thread
// while the control waits; writing VARIANT_TRUE to *pbCancel stops the action.
class IBrowserEvents {
public:
    virtual void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* pvarUrl, VARIANT* pvarFlags,
                                   VARIANT* pvarTargetFrameName, VARIANT* pvarPostData, VARIANT* pvarHeaders,
                                   VARIANT_BOOL* pbCancel) = 0;
    virtual void OnNewWindow2(IDispatch** ppDisp, VARIANT_BOOL* pbCancel) = 0;

protected:
    ~IBrowserEvents() = default;
};

// The dispatch sink the control's event connection point calls. It forwards
// to a borrowed receiver, which may be absent or withdrawn at any time.
class CBrowserEventSink final : public IDispatch {
public:
    static CComPtr<CBrowserEventSink> Create();

    void SetReceiver(IBrowserEvents* pReceiver) { m_pReceiver = pReceiver; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: only Invoke is meaningful for an event sink
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    CBrowserEventSink() = default;
    ~CBrowserEventSink() = default;

    HRESULT BeforeNavigate2(const DISPPARAMS& params);
    HRESULT NewWindow2(const DISPPARAMS& params);

    LONG m_cRef = 1;
    IBrowserEvents* m_pReceiver = nullptr;
};

// Parameter nParam (0 = first in declaration order) of an event call when it
// has the type vt; null when the call has another count or type.
VARIANT* AfxEventParam(const DISPPARAMS& params, UINT nCount, UINT nParam, VARTYPE vt);
