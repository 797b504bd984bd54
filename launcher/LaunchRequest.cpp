#include "LaunchRequest.h"

#include "host/CommandLineUpdate.h"

LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args)
{
    // The library's own parser, so that the launcher reads the line as the library will.
    std::vector<LPCWSTR> argv;
    for (const std::wstring& arg : args)
        argv.push_back(arg.c_str());
    CCommandLineUpdate cmd;
    ParseCommandLine(cmd, argv.data(), static_cast<int>(argv.size()));

    LaunchRequest request;
    request.url = cmd.m_strUrl.Str();
    request.processId = cmd.m_dwProcessId;
    request.silent = cmd.m_bSilent != 0;
    return request;
}
