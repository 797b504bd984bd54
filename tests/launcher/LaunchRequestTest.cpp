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

TEST(LaunchRequest, TakesTheLibrarysReading)
{
    // The grammar itself is the library's; the launcher takes its three facts.
    const RequestCase cases[] = {
        {{}, L"", 0, false},
        {{A, L"-PID", L"1234", L"/s"}, A, 1234, true},
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
