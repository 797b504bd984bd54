#include "install/DescriptionTrust.h"

#include "base/LinkSafeFiles.h"
#include "base/UpdateLog.h"
#include "description/LocalUpdateInfo.h"
#include "description/ProfileFile.h"
#include "description/RemoteUpdateInfo.h"
#include "description/TrustRecord.h"
#include "framework/AfxTrace.h"
#include "install/TrustFile.h"
#include "verify/Expires.h"

void TraceDescriptionRefusal(LPCWSTR pszReason)
{
    AfxTrace(CString(L"CFileManager: the update description is refused: ") + pszReason);
    UpdateLog(L"description refused: ", pszReason);
}

TrustVerdict JudgeDescriptionFor(std::string_view fileBytes, const CRemoteUpdateInfo& description,
                                 const CLocalUpdateInfo& local, const TrustMemory& memory)
{
    return JudgeDescriptionTrust(fileBytes, ReadTrustPins(local), memory, ReadClientTrustFacts(description),
                                 CurrentUtcTicks());
}

bool TrustDescriptionFile(LPCWSTR pszPath, const CLocalUpdateInfo& local, LPCWSTR pszTrustFile)
{
    if (!local.PinsPublisher())
        return true;
    std::string bytes;
    std::wstring refusal = L"it cannot be read whole";
    if (ReadFileBytes(pszPath, kMaxDescriptionBytes, bytes)) {
        CRemoteUpdateInfo description(pszPath);
        LoadChosenSection(description, local);
        const TrustMemory memory = ReadTrustFile(pszTrustFile);
        const TrustVerdict verdict = JudgeDescriptionFor(bytes, description, local, memory);
        // Unkept, what was learnt is learnt again from the next description
        // that carries it; refusing for it would stop every update of a
        // folder that cannot be written.
        if (verdict.memory != memory && !RememberTrust(pszTrustFile, verdict.memory))
            AfxTrace(L"CFileManager: what the description taught of its publisher's keys could not be kept");
        if (verdict.refusal == TrustRefusal::None)
            return true;
        refusal = DescribeTrustVerdict(verdict);
    }
    TraceDescriptionRefusal(refusal.c_str());
    RemoveFileAt(pszPath);
    return false;
}
