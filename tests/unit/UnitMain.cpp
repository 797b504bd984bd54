// The unit test program stands in for a host that has loaded the library: the
// application object starts before the tests and ends after them.
#include "framework/AfxWin.h"
#include "unit/RecordingEffects.h"

#include <gtest/gtest.h>

int RecordingEffects::ShowMessage(HWND, LPCWSTR pszText, LPCWSTR pszCaption, UINT nType)
{
    messages.push_back({pszText ? pszText : L"", pszCaption ? pszCaption : L"", nType});
    return IDOK;
}

BOOL RecordingEffects::OpenDocument(LPCWSTR pszAddress)
{
    opened.push_back(pszAddress ? pszAddress : L"");
    return TRUE;
}

void RecordingEffects::Clear()
{
    messages.clear();
    opened.clear();
}

RecordingEffects& Effects()
{
    static RecordingEffects effects;
    return effects;
}

namespace {

class ClearEffects : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { Effects().Clear(); }
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    AfxSetUserEffects(&Effects());
    testing::UnitTest::GetInstance()->listeners().Append(new ClearEffects);
    if (!AfxWinAttach(::GetModuleHandleW(nullptr)))
        return 3;
    const int result = RUN_ALL_TESTS();
    AfxWinDetach();
    return result;
}
