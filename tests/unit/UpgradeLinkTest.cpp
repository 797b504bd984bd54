#include "ui/UpgradeLink.h"

#include "framework/AfxComPtr.h"
#include "host/UpdateApp.h"

#include "unit/FakeHtml.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmdid.h>

#include <functional>
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

const wchar_t kUpgrade[] = L"http://buypro/professional";

// A page whose focus is on the element.
CComPtr<FakeNode> PageWith(const CComPtr<FakeNode>& element)
{
    return FakeDocument(element);
}

// A page whose focus is on a frame, whose page's focus is on the element.
CComPtr<FakeNode> FramedPageWith(const CComPtr<FakeNode>& element, LPCWSTR tagName = L"IFRAME")
{
    return FakeDocument(FakeFrame(FakeDocument(element), tagName));
}

CComPtr<FakeNode> FramedPageWith(const CComPtr<FakeNode>& element, std::vector<IID> frameInterfaces)
{
    return FakeDocument(FakeFrame(FakeDocument(element), L"IFRAME", std::move(frameInterfaces)));
}

TEST(UpgradeLink, TheClickedLinkIsFoundOnThePageAndInsideItsFrames)
{
    const IID element = __uuidof(IHTMLElement);
    struct Case {
        const char* what;
        std::function<CComPtr<FakeNode>()> page;
        LPCWSTR address;
    };
    const Case cases[] = {
        {"a link on the page", [] { return PageWith(FakeAnchor(kUpgrade)); }, kUpgrade},
        {"another link", [] { return PageWith(FakeAnchor(L"http://shop.example/")); }, L"http://shop.example/"},
        {"a link in an iframe", [] { return FramedPageWith(FakeAnchor(kUpgrade)); }, kUpgrade},
        {"the tag in other letter case", [] { return FramedPageWith(FakeAnchor(kUpgrade), L"iFrame"); }, kUpgrade},
        {"no element has the focus", [] { return PageWith({}); }, L""},
        {"the focus is not on a link", [] { return PageWith(FakeElement(L"BUTTON")); }, L""},
        {"a link without an address", [] { return PageWith(FakeAnchor(nullptr)); }, L""},
        {"an element without a tag name",
         [&] {
             CComPtr<FakeNode> link = FakeNode::Make({element, __uuidof(IHTMLAnchorElement)});
             link->Text(DISPID_IHTMLANCHORELEMENT_HREF, kUpgrade);
             return PageWith(link);
         },
         L""},
        {"no document", []() -> CComPtr<FakeNode> { return {}; }, L""},
        {"not an HTML document", [] { return FakeNode::Make({}); }, L""},
        {"a frame's element is not a link", [] { return FramedPageWith(FakeElement(L"INPUT")); }, L""},
        {"a frame without a document", [] { return PageWith(FakeFrame({})); }, L""},
        {"a frame without its browser",
         [&] { return FramedPageWith(FakeAnchor(kUpgrade), {element, __uuidof(IHTMLFrameBase)}); }, L""},
        {"a frame that is no frame",
         [&] { return FramedPageWith(FakeAnchor(kUpgrade), {element, __uuidof(IWebBrowser2)}); }, L""},
        // Only an iframe is looked into.
        {"a frame of a frame set", [] { return FramedPageWith(FakeAnchor(kUpgrade), L"FRAME"); }, L""},
    };
    for (const Case& c : cases) {
        CComPtr<FakeNode> document = c.page();
        EXPECT_EQ(ClickedLinkAddress(document.Get()), c.address) << c.what;
        document.Reset();
        EXPECT_EQ(FakeNode::Live(), 0) << c.what << ": a reference was kept";
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
    // Above 4 GiB in a 64-bit build, the top bit set in a 32-bit one: a handle
    // that does not arrive whole was cut or sign-extended on its way.
    const HWND hDialog = reinterpret_cast<HWND>(~UINT_PTR{0} - 0xEDCB);
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
        CComPtr<FakeNode> link = FakeAnchor(c.address);
        CComPtr<FakeNode> document = c.inFrame ? FramedPageWith(link) : PageWith(link);
        link.Reset();
        const HWND hHost = c.hostWindow ? host.m_hWnd : nullptr;
        EXPECT_EQ(OnPurchasePageNewWindow(document.Get(), hDialog, hHost, g_nUpgradeMessage), c.cancel) << c.what;
        ASSERT_EQ(host.m_received.size(), c.message ? 1u : 0u) << c.what;
        if (c.message) {
            EXPECT_EQ(host.m_received[0].first, 0u) << c.what;
            EXPECT_EQ(host.m_received[0].second, reinterpret_cast<LPARAM>(hDialog)) << c.what;
        }
        document.Reset();
        EXPECT_EQ(FakeNode::Live(), 0) << c.what;
    }
    EXPECT_EQ(OnPurchasePageNewWindow(nullptr, hDialog, host.m_hWnd, g_nUpgradeMessage), FALSE);
}

} // namespace
