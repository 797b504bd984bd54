#include "host/CommandLineUpdate.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <vector>

namespace {

struct Parsed {
    CString url;
    DWORD pid;
    BOOL silent;
};

Parsed Parse(std::initializer_list<LPCWSTR> args)
{
    std::vector<LPCWSTR> argv{L"update.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    CCommandLineUpdate cmd;
    ParseCommandLine(cmd, argv.data(), static_cast<int>(argv.size()));
    return {cmd.m_strUrl, cmd.m_dwProcessId, cmd.m_bSilent};
}

struct Case {
    std::initializer_list<LPCWSTR> args;
    LPCWSTR url;
    DWORD pid;
    BOOL silent;
};

TEST(CommandLine, GrammarOfTheUsageLine)
{
    const Case cases[] = {
        {{}, L"", 0, 0},
        {{L"A", L"/pid", L"1234", L"/s"}, L"A", 1234, 1},
        {{L"-PID", L"1234", L"A"}, L"1234", 0, 0},  // the first plain argument is the address
        {{L"A", L"1234", L"/pid"}, L"A", 0, 0},      // a value before the switch is ignored
        {{L"A", L"/pid", L"0", L"77"}, L"A", 77, 0},
        {{L"A", L"/pid", L"abc", L"77"}, L"A", 77, 0},
        {{L"A", L"/pid", L"12", L"34"}, L"A", 12, 0},
        {{L"", L"A"}, L"A", 0, 0},
        {{L"/", L"-", L"-x", L"A", L"/S"}, L"A", 0, 1},
        {{L"A", L"--s"}, L"A", 0, 0},                 // only one leading dash is removed
        {{L"A", L"/s", L"/s", L"/pid", L"/pid", L"5"}, L"A", 5, 1},
        {{L"A", L"/pid", L"  -7x"}, L"A", static_cast<DWORD>(-7), 0},
        {{L"A", L"/pid", L"99999999999"}, L"A", static_cast<DWORD>(INT_MAX), 0},
        {{L"A", L"/pid", L" -99999999999"}, L"A", static_cast<DWORD>(INT_MIN), 0},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.args);
        SCOPED_TRACE(testing::Message() << "case with " << c.args.size() << " arguments, address " << c.url);
        EXPECT_STREQ(c.url, p.url);
        EXPECT_EQ(c.pid, p.pid);
        EXPECT_EQ(c.silent, p.silent);
    }
}

TEST(CommandLine, NullVectorAndNullElementsAreHarmless)
{
    CCommandLineUpdate none;
    ParseCommandLine(none, nullptr, 5);
    EXPECT_TRUE(none.m_strUrl.IsEmpty());

    LPCWSTR argv[] = {L"update.exe", nullptr, L"http://host/u", nullptr, L"/s"};
    CCommandLineUpdate cmd;
    ParseCommandLine(cmd, argv, 5);
    EXPECT_STREQ(L"http://host/u", cmd.m_strUrl);
    EXPECT_EQ(1, cmd.m_bSilent);
}

TEST(CommandLine, CountOfOneOrLessReadsNothing)
{
    LPCWSTR argv[] = {L"update.exe", L"A"};
    for (int argc : {1, 0, -3}) {
        CCommandLineUpdate cmd;
        ParseCommandLine(cmd, argv, argc);
        EXPECT_FALSE(cmd.IsValid());
    }
}

} // namespace
