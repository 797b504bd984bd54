// Calls through a dispatch interface with arguments described by a type string.
#pragma once

#include <oaidl.h>

#include <cstdarg>

// One byte per argument, in the order of the arguments; the 0x40 bit marks a
// pointer that the callee may write through.
#define VTS_I4 "\x03"        // long
#define VTS_BSTR "\x08"      // LPCWSTR, passed as a string copy
#define VTS_DISPATCH "\x09"  // IDispatch*
#define VTS_BOOL "\x0B"      // BOOL
#define VTS_VARIANT "\x0C"   // const VARIANT*, passed by value
#define VTS_PVARIANT "\x4C"  // VARIANT*, passed by reference (null allowed)
#define VTS_NONE static_cast<const BYTE*>(nullptr)  // no arguments

// Invokes dispid with wFlags (DISPATCH_METHOD or DISPATCH_PROPERTYGET).
// vtRet says what pvRet points to: VT_EMPTY (no result, pvRet unused), VT_I4
// (long), VT_BOOL (BOOL), VT_BSTR (CString), VT_DISPATCH (IDispatch*, which the
// caller then owns; null when the member returns nothing) or VT_VARIANT
// (VARIANT, which the caller clears). Returns the call's HRESULT; the error
// code of an exception the member raised; E_POINTER without an interface or a
// result pointer; E_INVALIDARG for a type it does not know.
HRESULT AfxInvokeHelper(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                        const BYTE* pbParamInfo, ...);
HRESULT AfxInvokeHelperV(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                         const BYTE* pbParamInfo, va_list argList);
