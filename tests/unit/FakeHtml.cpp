#include "unit/FakeHtml.h"

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmdid.h>

namespace {

int g_liveNodes = 0;

const DISPID kFrameDocument = 203;  // the frame browser's Document

} // namespace

CComPtr<FakeNode> FakeNode::Make(std::vector<IID> interfaces)
{
    return CComPtr<FakeNode>::Adopt(new FakeNode(std::move(interfaces)));
}

int FakeNode::Live()
{
    return g_liveNodes;
}

FakeNode::FakeNode(std::vector<IID> interfaces) : m_interfaces(std::move(interfaces))
{
    ++g_liveNodes;
}

FakeNode::~FakeNode()
{
    --g_liveNodes;
}

FakeNode& FakeNode::Text(DISPID dispid, LPCWSTR text)
{
    m_texts[dispid] = text;
    return *this;
}

FakeNode& FakeNode::Object(DISPID dispid, const CComPtr<FakeNode>& object)
{
    m_objects[dispid] = CComPtr<FakeNode>::Share(object.Get());
    return *this;
}

STDMETHODIMP FakeNode::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    bool offered = riid == IID_IUnknown || riid == IID_IDispatch;
    for (const IID& iid : m_interfaces)
        offered = offered || riid == iid;
    if (!offered)
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeNode::AddRef()
{
    return ++m_cRef;
}

STDMETHODIMP_(ULONG) FakeNode::Release()
{
    const ULONG cRef = --m_cRef;
    if (cRef == 0)
        delete this;
    return cRef;
}

STDMETHODIMP FakeNode::Invoke(DISPID dispid, REFIID, LCID, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                              EXCEPINFO*, UINT*)
{
    if (wFlags != DISPATCH_PROPERTYGET || !pResult || (pParams && pParams->cArgs != 0))
        return DISP_E_MEMBERNOTFOUND;
    if (auto text = m_texts.find(dispid); text != m_texts.end()) {
        pResult->vt = VT_BSTR;
        pResult->bstrVal = ::SysAllocString(text->second.c_str());
        return S_OK;
    }
    if (auto object = m_objects.find(dispid); object != m_objects.end()) {
        pResult->vt = VT_DISPATCH;
        pResult->pdispVal = object->second.Get();
        if (pResult->pdispVal)
            pResult->pdispVal->AddRef();
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

CComPtr<FakeNode> FakeDocument(const CComPtr<FakeNode>& active)
{
    CComPtr<FakeNode> document = FakeNode::Make({__uuidof(IHTMLDocument2)});
    document->Object(DISPID_IHTMLDOCUMENT2_ACTIVEELEMENT, active);
    return document;
}

CComPtr<FakeNode> FakeElement(LPCWSTR tagName)
{
    CComPtr<FakeNode> element = FakeNode::Make({__uuidof(IHTMLElement)});
    element->Text(DISPID_IHTMLELEMENT_TAGNAME, tagName);
    return element;
}

CComPtr<FakeNode> FakeAnchor(LPCWSTR href)
{
    CComPtr<FakeNode> anchor = FakeNode::Make({__uuidof(IHTMLElement), __uuidof(IHTMLAnchorElement)});
    anchor->Text(DISPID_IHTMLELEMENT_TAGNAME, L"A");
    if (href)
        anchor->Text(DISPID_IHTMLANCHORELEMENT_HREF, href);
    return anchor;
}

CComPtr<FakeNode> FakeFrame(const CComPtr<FakeNode>& document, LPCWSTR tagName)
{
    return FakeFrame(document, tagName,
                     {__uuidof(IHTMLElement), __uuidof(IHTMLFrameBase), __uuidof(IWebBrowser2)});
}

CComPtr<FakeNode> FakeFrame(const CComPtr<FakeNode>& document, LPCWSTR tagName, std::vector<IID> interfaces)
{
    CComPtr<FakeNode> frame = FakeNode::Make(std::move(interfaces));
    frame->Text(DISPID_IHTMLELEMENT_TAGNAME, tagName);
    frame->Object(kFrameDocument, document);
    return frame;
}
