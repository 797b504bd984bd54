#include "framework/AfxDispatch.h"

#include "framework/AfxString.h"

#include <oleauto.h>

#include <algorithm>
#include <vector>

namespace {

const BYTE kByRef = 0x40;

// The arguments of one call, owned until it returns.
class CDispatchArguments {
public:
    CDispatchArguments() = default;
    ~CDispatchArguments()
    {
        for (VARIANT& v : m_args)
            ::VariantClear(&v);
    }
    CDispatchArguments(const CDispatchArguments&) = delete;
    CDispatchArguments& operator=(const CDispatchArguments&) = delete;

    HRESULT Read(const BYTE* pbParamInfo, va_list argList)
    {
        for (const BYTE* p = pbParamInfo; p && *p; ++p) {
            VARIANT v;
            ::VariantInit(&v);
            const HRESULT hr = ReadOne(*p, argList, v);
            if (FAILED(hr))
                return hr;
            m_args.push_back(v);
        }
        // The callee expects the last argument first.
        std::reverse(m_args.begin(), m_args.end());
        return S_OK;
    }

    DISPPARAMS Params() { return {m_args.data(), nullptr, static_cast<UINT>(m_args.size()), 0}; }

private:
    static HRESULT ReadOne(BYTE type, va_list& argList, VARIANT& v)
    {
        switch (type) {
        case VT_I4:
            v.vt = VT_I4;
            v.lVal = va_arg(argList, long);
            return S_OK;
        case VT_BSTR: {
            LPCWSTR psz = va_arg(argList, LPCWSTR);
            v.vt = VT_BSTR;
            v.bstrVal = ::SysAllocString(psz ? psz : L"");
            return v.bstrVal ? S_OK : E_OUTOFMEMORY;
        }
        case VT_DISPATCH:
            v.vt = VT_DISPATCH;
            v.pdispVal = va_arg(argList, IDispatch*);
            if (v.pdispVal)
                v.pdispVal->AddRef();
            return S_OK;
        case VT_BOOL:
            v.vt = VT_BOOL;
            v.boolVal = va_arg(argList, BOOL) ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case VT_VARIANT: {
            const VARIANT* pSource = va_arg(argList, const VARIANT*);
            // The copy reads the source only; the platform declares it writable.
            return pSource ? ::VariantCopy(&v, const_cast<VARIANT*>(pSource)) : S_OK;
        }
        case kByRef | VT_VARIANT:
            v.vt = VT_BYREF | VT_VARIANT;
            v.pvarVal = va_arg(argList, VARIANT*);
            return S_OK;
        default:
            return E_INVALIDARG;
        }
    }

    std::vector<VARIANT> m_args;
};

bool IsKnownResultType(VARTYPE vtRet)
{
    switch (vtRet) {
    case VT_EMPTY:
    case VT_I4:
    case VT_BOOL:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_VARIANT:
        return true;
    default:
        return false;
    }
}

// Hands the result over in the caller's type; result is left cleared or moved out.
HRESULT StoreResult(VARIANT& result, VARTYPE vtRet, void* pvRet)
{
    if (vtRet == VT_VARIANT) {
        *static_cast<VARIANT*>(pvRet) = result;
        ::VariantInit(&result);
        return S_OK;
    }
    if (vtRet == VT_DISPATCH && (result.vt == VT_EMPTY || result.vt == VT_NULL)) {
        *static_cast<IDispatch**>(pvRet) = nullptr;
        return S_OK;
    }
    HRESULT hr = ::VariantChangeType(&result, &result, 0, vtRet);
    if (FAILED(hr))
        return hr;
    switch (vtRet) {
    case VT_I4:
        *static_cast<long*>(pvRet) = result.lVal;
        break;
    case VT_BOOL:
        *static_cast<BOOL*>(pvRet) = result.boolVal != VARIANT_FALSE;
        break;
    case VT_BSTR:
        // A BSTR may hold zeros; its length is its own.
        *static_cast<CString*>(pvRet) = CString(result.bstrVal, static_cast<int>(::SysStringLen(result.bstrVal)));
        break;
    case VT_DISPATCH:
        *static_cast<IDispatch**>(pvRet) = result.pdispVal;
        ::VariantInit(&result);
        break;
    }
    ::VariantClear(&result);
    return S_OK;
}

HRESULT ExceptionResult(EXCEPINFO& excep)
{
    if (excep.pfnDeferredFillIn)
        excep.pfnDeferredFillIn(&excep);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    if (FAILED(excep.scode))
        return excep.scode;
    return DISP_E_EXCEPTION;
}

} // namespace

HRESULT AfxInvokeHelperV(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                         const BYTE* pbParamInfo, va_list argList)
{
    if (!pDispatch || (vtRet != VT_EMPTY && !pvRet))
        return E_POINTER;
    if (!IsKnownResultType(vtRet))
        return E_INVALIDARG;

    CDispatchArguments args;
    HRESULT hr = args.Read(pbParamInfo, argList);
    if (FAILED(hr))
        return hr;

    DISPPARAMS params = args.Params();
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO excep = {};
    UINT uArgErr = 0;
    hr = pDispatch->Invoke(dwDispID, IID_NULL, LOCALE_USER_DEFAULT, wFlags, &params,
                           vtRet == VT_EMPTY ? nullptr : &result, &excep, &uArgErr);
    if (hr == DISP_E_EXCEPTION)
        return ExceptionResult(excep);
    if (SUCCEEDED(hr) && vtRet != VT_EMPTY)
        hr = StoreResult(result, vtRet, pvRet);
    ::VariantClear(&result);
    return hr;
}

HRESULT AfxInvokeHelper(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                        const BYTE* pbParamInfo, ...)
{
    va_list argList;
    va_start(argList, pbParamInfo);
    const HRESULT hr = AfxInvokeHelperV(pDispatch, dwDispID, wFlags, vtRet, pvRet, pbParamInfo, argList);
    va_end(argList);
    return hr;
}
