#include "LaunchRequest.h"

LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args)
{
    std::vector<LPCWSTR> argv;
    for (const std::wstring& arg : args)
        argv.push_back(arg.c_str());
    return ParseUpdateRequest(argv.data(), static_cast<int>(argv.size()));
}
