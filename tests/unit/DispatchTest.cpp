#include "framework/AfxBrowserEvents.h"
#include "framework/AfxDispatch.h"
#include "framework/AfxString.h"

#include <gtest/gtest.h>

#include <exdispid.h>

#include <functional>
#include <string>

namespace {

// A dispatch interface that shows what it was called with and answers as told.
class ScriptedDispatch final : public IDispatch {
public:
    using Answer = std::function<HRESULT(DISPPARAMS*, VARIANT*, EXCEPINFO*)>;
    explicit ScriptedDispatch(Answer answer) : m_answer(std::move(answer)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IDispatch)
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO* pExcep, UINT*) override
    {
        ++calls;
        lastDispid = dispid;
        lastFlags = wFlags;
        return m_answer(pParams, pResult, pExcep);
    }

    ULONG refs = 1;
    int calls = 0;
    DISPID lastDispid = 0;
    WORD lastFlags = 0;

private:
    Answer m_answer;
};

TEST(InvokeHelper, NavigateArgumentsArriveLastFirstWithNullPointersKept)
{
    VARIANT flags;
    ::VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = 2;
    bool checked = false;
    ScriptedDispatch browser([&](DISPPARAMS* p, VARIANT* pResult, EXCEPINFO*) {
        EXPECT_EQ(pResult, nullptr);  // a method without a result is asked for none
        EXPECT_EQ(p->cArgs, 5u);
        EXPECT_EQ(p->cNamedArgs, 0u);
        if (p->cArgs != 5)
            return E_INVALIDARG;
        EXPECT_EQ(p->rgvarg[4].vt, VT_BSTR);
        EXPECT_STREQ(p->rgvarg[4].bstrVal, L"file:///C:/a b.htm?bkcolor=c8d0d4");
        EXPECT_EQ(p->rgvarg[3].vt, VT_BYREF | VT_VARIANT);
        EXPECT_EQ(p->rgvarg[3].pvarVal, &flags);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(p->rgvarg[i].vt, VT_BYREF | VT_VARIANT);
            EXPECT_EQ(p->rgvarg[i].pvarVal, nullptr);
        }
        checked = true;
        return S_OK;
    });
    static const BYTE params[] = VTS_BSTR VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT VTS_PVARIANT;
    EXPECT_EQ(AfxInvokeHelper(&browser, 104, DISPATCH_METHOD, VT_EMPTY, nullptr, params,
                              L"file:///C:/a b.htm?bkcolor=c8d0d4", &flags, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_TRUE(checked);
    EXPECT_EQ(browser.lastDispid, 104);
    EXPECT_EQ(browser.lastFlags, DISPATCH_METHOD);
}

TEST(InvokeHelper, ResultsAreHandedOverInTheAskedType)
{
    ScriptedDispatch document([](DISPPARAMS*, VARIANT*, EXCEPINFO*) { return S_OK; });
    ScriptedDispatch answering([&](DISPPARAMS* p, VARIANT* pResult, EXCEPINFO*) {
        // The argument says which answer to give.
        switch (p->rgvarg[0].lVal) {
        case 0:
            pResult->vt = VT_BSTR;
            pResult->bstrVal = ::SysAllocStringLen(L"a\0b", 3);
            break;
        case 1:
            pResult->vt = VT_BSTR;
            pResult->bstrVal = ::SysAllocString(L"42");
            break;
        case 2:
            break;  // nothing: an empty document
        case 3:
            pResult->vt = VT_DISPATCH;
            pResult->pdispVal = &document;
            document.AddRef();
            break;
        case 4:
            pResult->vt = VT_BOOL;
            pResult->boolVal = VARIANT_TRUE;
            break;
        }
        return S_OK;
    });
    static const BYTE which[] = VTS_I4;

    CString text;
    EXPECT_EQ(AfxInvokeHelper(&answering, 1, DISPATCH_PROPERTYGET, VT_BSTR, &text, which, 0L), S_OK);
    EXPECT_EQ(text, CString(L"a\0b", 3));  // zeros inside a string survive

    long number = 0;
    EXPECT_EQ(AfxInvokeHelper(&answering, 1, DISPATCH_PROPERTYGET, VT_I4, &number, which, 1L), S_OK);
    EXPECT_EQ(number, 42);

    IDispatch* pDispatch = &document;
    EXPECT_EQ(AfxInvokeHelper(&answering, 1, DISPATCH_PROPERTYGET, VT_DISPATCH, &pDispatch, which, 2L), S_OK);
    EXPECT_EQ(pDispatch, nullptr);

    EXPECT_EQ(AfxInvokeHelper(&answering, 1, DISPATCH_PROPERTYGET, VT_DISPATCH, &pDispatch, which, 3L), S_OK);
    EXPECT_EQ(pDispatch, &document);
    EXPECT_EQ(document.refs, 2u);  // the caller's reference
    pDispatch->Release();

    BOOL flag = FALSE;
    EXPECT_EQ(AfxInvokeHelper(&answering, 1, DISPATCH_PROPERTYGET, VT_BOOL, &flag, which, 4L), S_OK);
    EXPECT_TRUE(flag);

    VARIANT any;
    EXPECT_EQ(AfxInvokeHelper(&answering, 1, DISPATCH_PROPERTYGET, VT_VARIANT, &any, which, 1L), S_OK);
    EXPECT_EQ(any.vt, VT_BSTR);
    ::VariantClear(&any);
    EXPECT_EQ(answering.refs, 1u);
}

TEST(InvokeHelper, FailuresComeBackAsResults)
{
    ScriptedDispatch raising([](DISPPARAMS*, VARIANT*, EXCEPINFO* pExcep) {
        pExcep->scode = E_ACCESSDENIED;
        pExcep->bstrDescription = ::SysAllocString(L"denied");
        return DISP_E_EXCEPTION;
    });
    long unused = 0;
    EXPECT_EQ(AfxInvokeHelper(&raising, 7, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE), E_ACCESSDENIED);

    static const BYTE unknownType[] = "\x0E";  // VT_DECIMAL is not offered
    EXPECT_EQ(AfxInvokeHelper(&raising, 7, DISPATCH_METHOD, VT_EMPTY, nullptr, unknownType, 0L), E_INVALIDARG);
    EXPECT_EQ(AfxInvokeHelper(&raising, 7, DISPATCH_PROPERTYGET, VT_DECIMAL, &unused, VTS_NONE), E_INVALIDARG);
    EXPECT_EQ(AfxInvokeHelper(&raising, 7, DISPATCH_PROPERTYGET, VT_I4, nullptr, VTS_NONE), E_POINTER);
    EXPECT_EQ(AfxInvokeHelper(nullptr, 7, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE), E_POINTER);
    EXPECT_EQ(raising.calls, 1);  // nothing was called with arguments it could not hold
}

class RecordingReceiver : public IBrowserEvents {
public:
    void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* pvarUrl, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                           VARIANT_BOOL* pbCancel) override
    {
        navigateFrom = pDisp;
        url = pvarUrl->bstrVal;
        *pbCancel = VARIANT_TRUE;
    }
    void OnNewWindow2(IDispatch** ppDisp, VARIANT_BOOL* pbCancel) override
    {
        ++newWindows;
        newWindowDisp = ppDisp;
        *pbCancel = VARIANT_TRUE;
    }

    IDispatch* navigateFrom = nullptr;
    std::wstring url;
    int newWindows = 0;
    IDispatch** newWindowDisp = nullptr;
};

VARIANT ByRef(VARTYPE vt, void* p)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BYREF | vt;
    v.byref = p;
    return v;
}

HRESULT Fire(IDispatch* pSink, DISPID dispid, VARIANT* args, UINT count)
{
    DISPPARAMS params = {args, nullptr, count, 0};
    return pSink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

TEST(BrowserEventSink, NewWindow2CarriesTheCancelFlagBackToTheControl)
{
    RecordingReceiver receiver;
    CComPtr<CBrowserEventSink> sink = CBrowserEventSink::Create();
    sink->SetReceiver(&receiver);

    IDispatch* pNewWindow = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[] = {ByRef(VT_BOOL, &cancel), ByRef(VT_DISPATCH, &pNewWindow)};  // last first
    EXPECT_EQ(Fire(sink.Get(), DISPID_NEWWINDOW2, args, 2), S_OK);
    EXPECT_EQ(receiver.newWindows, 1);
    EXPECT_EQ(receiver.newWindowDisp, &pNewWindow);
    EXPECT_EQ(cancel, VARIANT_TRUE);

    // Calls that do not have the event's shape never reach the receiver.
    VARIANT swapped[] = {args[1], args[0]};
    EXPECT_EQ(Fire(sink.Get(), DISPID_NEWWINDOW2, swapped, 2), DISP_E_TYPEMISMATCH);
    VARIANT nowhere[] = {ByRef(VT_BOOL, nullptr), args[1]};
    EXPECT_EQ(Fire(sink.Get(), DISPID_NEWWINDOW2, nowhere, 2), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Fire(sink.Get(), DISPID_NEWWINDOW2, args, 1), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(receiver.newWindows, 1);

    // Other events are accepted and ignored; a withdrawn receiver hears nothing.
    EXPECT_EQ(Fire(sink.Get(), DISPID_DOCUMENTCOMPLETE, nullptr, 0), S_OK);
    sink->SetReceiver(nullptr);
    EXPECT_EQ(Fire(sink.Get(), DISPID_NEWWINDOW2, args, 2), S_OK);
    EXPECT_EQ(receiver.newWindows, 1);
}

TEST(BrowserEventSink, BeforeNavigate2PassesTheAddressInDeclarationOrder)
{
    RecordingReceiver receiver;
    CComPtr<CBrowserEventSink> sink = CBrowserEventSink::Create();
    sink->SetReceiver(&receiver);

    ScriptedDispatch browser([](DISPPARAMS*, VARIANT*, EXCEPINFO*) { return S_OK; });
    VARIANT url, empty;
    ::VariantInit(&empty);
    url.vt = VT_BSTR;
    url.bstrVal = ::SysAllocString(L"http://example.invalid/buy");
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[7] = {ByRef(VT_BOOL, &cancel),      ByRef(VT_VARIANT, &empty), ByRef(VT_VARIANT, &empty),
                       ByRef(VT_VARIANT, &empty),    ByRef(VT_VARIANT, &empty), ByRef(VT_VARIANT, &url),
                       {}};
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = &browser;
    EXPECT_EQ(Fire(sink.Get(), DISPID_BEFORENAVIGATE2, args, 7), S_OK);
    EXPECT_EQ(receiver.navigateFrom, &browser);
    EXPECT_EQ(receiver.url, L"http://example.invalid/buy");
    EXPECT_EQ(cancel, VARIANT_TRUE);
    ::VariantClear(&url);
}

} // namespace
