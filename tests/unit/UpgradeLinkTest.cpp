#include "ui/UpgradeLink.h"

#include "framework/AfxComPtr.h"
#include "host/UpdateApp.h"

#include "UpdateFiles.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmdid.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(UpgradeLink, OnlyTheExactPrefixMakesAnUpgradeLink)
{
    struct Case {
        CString address;
        bool upgrade;
    };
    const Case cases[] = {
        {L"http://buypro/", true},
        {L"http://buypro/professional?from=update", true},
        {L"http://buypro", false},  // 13 characters
        {L"HTTP://BUYPRO/", false},
        {L"http://BuyPro/", false},
        {L"https://buypro/", false},
        {L"http://buypro.example/", false},
        {L" http://buypro/", false},
        {L"", false},
        {CString(L"http://buy\0ro/", 14), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsUpgradeLink(c.address), c.upgrade) << c.address.GetString();
    EXPECT_EQ(CString(kUpgradeLinkPrefix).GetLength(), kUpgradeLinkPrefixLength);
}

// Objects of a page as far as a click on it is read: a dispatch interface that
// answers for the HTML interfaces it is given and has the properties it is given.
int g_liveNodes = 0;

class FakeNode final : public IDispatch {
public:
    static CComPtr<FakeNode> Make(std::vector<IID> interfaces)
    {
        return CComPtr<FakeNode>::Adopt(new FakeNode(std::move(interfaces)));
    }

    FakeNode& Text(DISPID dispid, LPCWSTR text)
    {
        m_texts[dispid] = text;
        return *this;
    }
    FakeNode& Object(DISPID dispid, const CComPtr<FakeNode>& object)
    {
        m_objects[dispid] = CComPtr<FakeNode>::Share(object.Get());
        return *this;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
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
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG cRef = --m_cRef;
        if (cRef == 0)
            delete this;
        return cRef;
    }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD wFlags, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO*, UINT*) override
    {
        if (wFlags != DISPATCH_PROPERTYGET || !pResult || (pParams && pParams->cArgs != 0))
            return DISP_E_MEMBERNOTFOUND;
        if (auto text = m_texts.find(dispid); text != m_texts.end()) {
            pResult->vt = VT_BSTR;
            pResult->bstrVal = ::SysAllocString(text->second.c_str());
            return S_OK;
        }
        if (auto object = m_objects.find(dispid); object != m_objects.end()) {
            // A property that is there but empty, as a document without a focused element.
            pResult->vt = VT_DISPATCH;
            pResult->pdispVal = object->second.Get();
            if (pResult->pdispVal)
                pResult->pdispVal->AddRef();
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    explicit FakeNode(std::vector<IID> interfaces) : m_interfaces(std::move(interfaces)) { ++g_liveNodes; }
    ~FakeNode() { --g_liveNodes; }

    ULONG m_cRef = 1;
    std::vector<IID> m_interfaces;
    std::map<DISPID, std::wstring> m_texts;
    std::map<DISPID, CComPtr<FakeNode>> m_objects;
};

const DISPID kActiveElement = DISPID_IHTMLDOCUMENT2_ACTIVEELEMENT;
const DISPID kTagName = DISPID_IHTMLELEMENT_TAGNAME;
const DISPID kHref = DISPID_IHTMLANCHORELEMENT_HREF;
const DISPID kFrameDocument = 203;

CComPtr<FakeNode> Document(const CComPtr<FakeNode>& active)
{
    CComPtr<FakeNode> document = FakeNode::Make({__uuidof(IHTMLDocument2)});
    document->Object(kActiveElement, active);
    return document;
}

CComPtr<FakeNode> Element(LPCWSTR tag)
{
    CComPtr<FakeNode> element = FakeNode::Make({__uuidof(IHTMLElement)});
    element->Text(kTagName, tag);
    return element;
}

CComPtr<FakeNode> Anchor(LPCWSTR href)
{
    CComPtr<FakeNode> anchor = FakeNode::Make({__uuidof(IHTMLElement), __uuidof(IHTMLAnchorElement)});
    anchor->Text(kTagName, L"A");
    if (href)
        anchor->Text(kHref, href);
    return anchor;
}

// An iframe element: its frame's browser shows the document.
CComPtr<FakeNode> Frame(const CComPtr<FakeNode>& document, LPCWSTR tag = L"IFRAME",
                        std::vector<IID> interfaces = {__uuidof(IHTMLElement), __uuidof(IHTMLFrameBase),
                                                        __uuidof(IWebBrowser2)})
{
    CComPtr<FakeNode> frame = FakeNode::Make(std::move(interfaces));
    frame->Text(kTagName, tag);
    frame->Object(kFrameDocument, document);
    return frame;
}

const wchar_t kUpgrade[] = L"http://buypro/professional";

TEST(UpgradeLink, TheClickedLinkIsFoundOnThePageAndInsideItsFrames)
{
    struct Case {
        const char* what;
        std::function<CComPtr<FakeNode>()> page;
        LPCWSTR address;
    };
    const Case cases[] = {
        {"a link on the page", [] { return Document(Anchor(kUpgrade)); }, kUpgrade},
        {"another link", [] { return Document(Anchor(L"http://shop.example/")); }, L"http://shop.example/"},
        {"a link in an iframe", [] { return Document(Frame(Document(Anchor(kUpgrade)))); }, kUpgrade},
        {"the tag in other letter case", [] { return Document(Frame(Document(Anchor(kUpgrade)), L"iFrame")); },
         kUpgrade},
        {"no element has the focus", [] { return Document({}); }, L""},
        {"the focus is not on a link", [] { return Document(Element(L"BUTTON")); }, L""},
        {"a link without an address", [] { return Document(Anchor(nullptr)); }, L""},
        {"an element without a tag name",
         [] {
             CComPtr<FakeNode> link = FakeNode::Make({__uuidof(IHTMLElement), __uuidof(IHTMLAnchorElement)});
             link->Text(kHref, kUpgrade);
             return Document(link);
         },
         L""},
        {"no document", []() -> CComPtr<FakeNode> { return {}; }, L""},
        {"not an HTML document", [] { return FakeNode::Make({}); }, L""},
        {"a frame's element is not a link", [] { return Document(Frame(Document(Element(L"INPUT")))); }, L""},
        {"a frame without a document", [] { return Document(Frame({})); }, L""},
        {"a frame without its browser",
         [] {
             return Document(Frame(Document(Anchor(kUpgrade)), L"IFRAME",
                                   {__uuidof(IHTMLElement), __uuidof(IHTMLFrameBase)}));
         },
         L""},
        {"a frame that is no frame",
         [] {
             return Document(Frame(Document(Anchor(kUpgrade)), L"IFRAME",
                                   {__uuidof(IHTMLElement), __uuidof(IWebBrowser2)}));
         },
         L""},
        // Only an iframe is looked into.
        {"a frame of a frame set", [] { return Document(Frame(Document(Anchor(kUpgrade)), L"FRAME")); }, L""},
    };
    for (const Case& c : cases) {
        CComPtr<FakeNode> document = c.page();
        EXPECT_EQ(ClickedLinkAddress(document.Get()), c.address) << c.what;
        document.Reset();
        EXPECT_EQ(g_liveNodes, 0) << c.what << ": a reference was kept";
    }
}

// The host program's window, as far as the upgrade message goes.
class UpgradeMessageHost {
public:
    UpgradeMessageHost()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpgradeLinkTestHost";
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                   nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~UpgradeMessageHost() { ::DestroyWindow(m_hWnd); }

    HWND m_hWnd = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> m_received;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* pHost = reinterpret_cast<UpgradeMessageHost*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (pHost && uMsg == g_nUpgradeMessage) {
            pHost->m_received.emplace_back(wParam, lParam);
            return 0;
        }
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
};

class PurchasePageNewWindow : public UpdateFilesTest {};

TEST_F(PurchasePageNewWindow, AnUpgradeLinkStaysClosedAndTellsTheHostOfTheStandardEdition)
{
    UpgradeMessageHost host;
    ASSERT_NE(host.m_hWnd, nullptr);
    const HWND hDialog = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
    struct Case {
        const char* what;
        LPCWSTR address;
        bool inFrame;
        const char* ambrelIni;  // null: no "Ambrel.ini"
        bool hostWindow;
        BOOL cancel;
        bool message;
    };
    const Case cases[] = {
        {"upgrade link, no configuration", kUpgrade, false, nullptr, true, TRUE, true},
        {"upgrade link, standard edition", kUpgrade, false, "[Config]\r\nIsProUpdate=0\r\n", true, TRUE, true},
        {"upgrade link inside an iframe", kUpgrade, true, nullptr, true, TRUE, true},
        {"professional edition", kUpgrade, false, "[Config]\r\nIsProUpdate=1\r\n", true, TRUE, false},
        {"professional edition, iframe", kUpgrade, true, "[Config]\r\nIsProUpdate=2\r\n", true, TRUE, false},
        {"no host window", kUpgrade, false, nullptr, false, TRUE, false},
        {"another link", L"http://shop.example/professional", false, nullptr, true, FALSE, false},
        {"the prefix in other letter case", L"HTTP://BUYPRO/professional", true, nullptr, true, FALSE, false},
    };
    for (const Case& c : cases) {
        ::DeleteFileW(AmbrelIniPath().c_str());
        if (c.ambrelIni)
            WriteBytes(AmbrelIniPath(), c.ambrelIni);
        host.m_received.clear();
        CComPtr<FakeNode> document =
            c.inFrame ? Document(Frame(Document(Anchor(c.address)))) : Document(Anchor(c.address));
        EXPECT_EQ(OnPurchasePageNewWindow(document.Get(), hDialog, c.hostWindow ? host.m_hWnd : nullptr), c.cancel)
            << c.what;
        ASSERT_EQ(host.m_received.size(), c.message ? 1u : 0u) << c.what;
        if (c.message) {
            EXPECT_EQ(host.m_received[0].first, 0u) << c.what;
            EXPECT_EQ(host.m_received[0].second, reinterpret_cast<LPARAM>(hDialog)) << c.what;
        }
        document.Reset();
        EXPECT_EQ(g_liveNodes, 0) << c.what;
    }
    EXPECT_EQ(OnPurchasePageNewWindow(nullptr, hDialog, host.m_hWnd), FALSE);
}

} // namespace
