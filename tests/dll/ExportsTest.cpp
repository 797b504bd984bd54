#include "dll/LoadedUpdateLibrary.h"
#include "dll/MessageBoxAnswer.h"

#include <gtest/gtest.h>

namespace {

TEST(Exports, FiveNamesAtTheirOrdinals)
{
    LoadedUpdateLibrary lib;
    const char* names[] = {"UpdateMain", "GetUpdates", "NotifyEvent", "IsAutoUpdate", "SetUserProgramHWnd"};
    for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
        EXPECT_NE(nullptr, lib.ByOrdinal(ordinal));
        EXPECT_EQ(lib.ByName(names[ordinal - 1]), lib.ByOrdinal(ordinal)) << names[ordinal - 1];
    }
    EXPECT_EQ(nullptr, lib.ByOrdinal(6));
    EXPECT_EQ(nullptr, lib.ByName("_UpdateMain@8"));
}

TEST(Exports, GetUpdatesNeedsRoomForTheTerminatingZero)
{
    LoadedUpdateLibrary lib;
    const std::wstring command = L"Extrac32.exe /Y /E /A /L ";  // nothing prepared yet
    const int length = static_cast<int>(command.size());

    wchar_t buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(DISP_E_BUFFERTOOSMALL, lib.GetUpdates(buffer, length));
    EXPECT_EQ(DISP_E_BUFFERTOOSMALL, lib.GetUpdates(buffer, length - 1));
    EXPECT_EQ(DISP_E_BUFFERTOOSMALL, lib.GetUpdates(buffer, 0));
    EXPECT_EQ(DISP_E_BUFFERTOOSMALL, lib.GetUpdates(buffer, -1));
    EXPECT_EQ(L'#', buffer[0]);  // untouched

    EXPECT_EQ(E_POINTER, lib.GetUpdates(nullptr, 64));

    EXPECT_EQ(S_OK, lib.GetUpdates(buffer, length + 3));
    EXPECT_EQ(command, std::wstring(buffer));
    EXPECT_EQ(L'\0', buffer[length + 1]);
    EXPECT_EQ(L'\0', buffer[length + 2]);
    EXPECT_EQ(L'#', buffer[length + 3]);  // nothing written past length
}

TEST(Exports, NullArgumentsDoNotCrash)
{
    LoadedUpdateLibrary lib;
    EXPECT_EQ(E_INVALIDARG, lib.IsAutoUpdate(nullptr, 3));
    LPCWSTR holes[] = {L"update.exe", nullptr, nullptr};
    EXPECT_EQ(E_INVALIDARG, lib.IsAutoUpdate(holes, 3));
}


TEST(Exports, UpdateMainWithoutAddressShowsTheUsage)
{
    LoadedUpdateLibrary lib;
    LPCWSTR argv[] = {L"update.exe"};
    HRESULT hr = S_OK;
    const AnsweredBox box = AnswerMessageBox([&] { hr = lib.UpdateMain(argv, 1); });
    EXPECT_EQ(E_INVALIDARG, hr);
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(L"Usage: \nupdate.exe <url> [/pid pid] [/s]", box.text);
    EXPECT_EQ(L"update", box.caption);
}

} // namespace
