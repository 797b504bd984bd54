#include "LaunchRequest.h"

#include <gtest/gtest.h>

namespace {

const wchar_t A[] = L"http://127.0.0.1/update.ini?c=1&x=2";

struct RequestCase {
    std::vector<std::wstring> args;  // after the program
    std::wstring url;
    DWORD processId;
    bool silent;
};

TEST(LaunchRequest, FollowsTheLibrarysGrammar)
{
    const RequestCase cases[] = {
        {{}, L"", 0, false},
        {{A, L"/pid", L"1234", L"/s"}, A, 1234, true},
        {{A, L"-PID", L"1234", L"-S"}, A, 1234, true},
        // The first plain argument is the address, even after the switch.
        {{L"-PID", L"1234", A}, L"1234", 0, false},
        {{A, L"1234", L"/pid"}, A, 0, false},
        // A value of 0 leaves room for the next one; a non-zero one stays.
        {{A, L"/pid", L"0", L"77"}, A, 77, false},
        {{A, L"/pid", L"abc", L"77"}, A, 77, false},
        {{A, L"/pid", L"12", L"34"}, A, 12, false},
        {{A, L"/pid", L"  42xyz"}, A, 42, false},
        {{A, L"/pid", L"99999999999"}, A, 2147483647, false},
        {{L"", A, L"/pid", L"5"}, A, 5, false},
        {{A, L"/", L"-", L"-x", L"--s", L"/pid"}, A, 0, false},
        {{L"/s", L"/s", A}, A, 0, true},
    };
    for (const RequestCase& c : cases) {
        std::vector<std::wstring> args = {L"update.exe"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const LaunchRequest request = ParseLaunchRequest(args);
        const std::wstring line = args.size() > 1 ? args[1] : L"";
        EXPECT_EQ(c.url, request.url) << line.c_str();
        EXPECT_EQ(c.processId, request.processId) << line.c_str();
        EXPECT_EQ(c.silent, request.silent) << line.c_str();
    }
}

} // namespace
