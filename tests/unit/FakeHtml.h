// Objects of an HTML page as far as a click on it is read: dispatch
// interfaces that answer for the HTML interfaces they are given and have the
// properties they are given.
#pragma once

#include "framework/AfxComPtr.h"

#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

class FakeNode final : public IDispatch {
public:
    static CComPtr<FakeNode> Make(std::vector<IID> interfaces);
    // Fake nodes alive now: 0 once every reference handed out has come back.
    static int Live();

    FakeNode& Text(DISPID dispid, LPCWSTR text);
    // An empty object makes a property that is there but empty.
    FakeNode& Object(DISPID dispid, const CComPtr<FakeNode>& object);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    // Property reads only.
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    explicit FakeNode(std::vector<IID> interfaces);
    ~FakeNode();

    ULONG m_cRef = 1;
    std::vector<IID> m_interfaces;
    std::map<DISPID, std::wstring> m_texts;
    std::map<DISPID, CComPtr<FakeNode>> m_objects;
};

// A document whose focused element is active (which may be empty).
CComPtr<FakeNode> FakeDocument(const CComPtr<FakeNode>& active);
CComPtr<FakeNode> FakeElement(LPCWSTR tagName);
// A link; a null address makes one without its href.
CComPtr<FakeNode> FakeAnchor(LPCWSTR href);
// A frame element whose frame's browser shows the document.
CComPtr<FakeNode> FakeFrame(const CComPtr<FakeNode>& document, LPCWSTR tagName = L"IFRAME");
CComPtr<FakeNode> FakeFrame(const CComPtr<FakeNode>& document, LPCWSTR tagName, std::vector<IID> interfaces);
