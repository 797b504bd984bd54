#include "HostRestart.h"

#include "base/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(LauncherCommandLine, RoundTripsThroughCommandLineToArgvW)
{
    const std::wstring programs[] = {
        L"C:\\App\\host.exe",
        L"C:\\Program Files\\R&D 100%\\^caret\\host.exe",
        L"C:\\示例 程序\\update.exe",
    };
    const std::wstring arguments[] = {
        L"plain",
        L"",
        L"C:\\Program Files\\App",
        L"C:\\Program Files\\App\\",  // trailing backslash before the closing quote
        L"C:\\Dir\\",                 // no blank: left unquoted
        L"say \"hi\"",
        L"a\\\"b",
        L"a\\\\\" b",
        L"\\\\server\\share\\a b",
        L"R&D|x>y<z",
        L"%PATH% 100%",
        L"^& ^^",
        L"tab\there",
        L"\"",
        L"http://127.0.0.1:8080/update.ini?c=Demo&v=1",
        L"C:\\更新\\新 版",
    };
    for (const std::wstring& program : programs) {
        for (const std::wstring& argument : arguments) {
            const std::vector<std::wstring> args = {argument, L"/pid", L"12"};
            const std::wstring line = BuildCommandLine(program, args);
            std::vector<std::wstring> expected = {program};
            expected.insert(expected.end(), args.begin(), args.end());
            EXPECT_EQ(expected, SplitCommandLine(line)) << line.c_str();
        }
    }
}

TEST(LauncherCommandLine, QuotesOnlyWhatNeedsIt)
{
    const struct {
        std::wstring argument;
        std::wstring quoted;
    } cases[] = {
        {L"/pid", L"/pid"},
        {L"R&D%^", L"R&D%^"},
        {L"", L"\"\""},
        {L"a b", L"\"a b\""},
        {L"a b\\", L"\"a b\\\\\""},
        {L"a\\\"b", L"\"a\\\\\\\"b\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.quoted, QuoteArgument(c.argument)) << c.argument.c_str();
    EXPECT_EQ(L"\"C:\\a b\\host.exe\" /updated", BuildCommandLine(L"C:\\a b\\host.exe", {kRestartSwitch}));
    EXPECT_TRUE(SplitCommandLine(L"").empty());
}

} // namespace
