#include "host/CommandLineUpdate.h"

#include "base/UpdateRequest.h"

void ParseCommandLine(CCommandLineUpdate& cmd, LPCWSTR* argv, int argc)
{
    const UpdateRequest request = ParseUpdateRequest(argv, argc);
    cmd.m_strUrl = CString(request.url);
    cmd.m_dwProcessId = request.processId;
    cmd.m_bSilent = request.silent ? 1 : 0;
    cmd.m_bAppliesDeltas = request.appliesDeltas;
    cmd.m_bFullPackage = request.fullPackage;
}
