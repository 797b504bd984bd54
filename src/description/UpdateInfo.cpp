#include "description/UpdateInfo.h"

#include "description/NewsText.h"
#include "description/ProfileFile.h"

namespace {

const wchar_t kDialog[] = L"Dialog";
const wchar_t kUpdate[] = L"Update";

} // namespace

CUpdateInfo::CUpdateInfo(LPCWSTR pszFile) : m_strFile(pszFile) {}

CUpdateInfo::~CUpdateInfo() = default;

CString CUpdateInfo::ReadString(LPCWSTR pszSection, LPCWSTR pszKey) const
{
    return ReadProfileString(m_strFile, pszSection, pszKey);
}

CString CUpdateInfo::ReadUpdateTitle() const { return ReadString(kDialog, L"UpdateTitle"); }
CString CUpdateInfo::ReadCheckingDesc() const { return ReadString(kDialog, L"CheckingDesc"); }
CString CUpdateInfo::ReadCheckSucceededDesc() const { return ReadString(kDialog, L"CheckSucceededDesc"); }
CString CUpdateInfo::ReadCheckFailedDesc() const { return ReadString(kDialog, L"CheckFailedDesc"); }
CString CUpdateInfo::ReadUpgradeProfessionDesc() const { return ReadString(kDialog, L"UpgradeProfessionDesc"); }
CString CUpdateInfo::ReadDownloadingDesc() const { return ReadString(kDialog, L"DownloadingDesc"); }
CString CUpdateInfo::ReadInstallDesc() const { return ReadString(kDialog, L"InstallDesc"); }
CString CUpdateInfo::ReadCancelDesc() const { return ReadString(kDialog, L"CancelDesc"); }
CString CUpdateInfo::ReadPurchasePage() const { return ReadString(kDialog, L"PurchasePage"); }
CString CUpdateInfo::ReadPurchasePageWeb() const { return ReadString(kDialog, L"PurchasePageWeb"); }

int CUpdateInfo::ReadPurchasePageHeight() const
{
    return static_cast<int>(::GetPrivateProfileIntW(kDialog, L"PurchasePageHeight", 0, m_strFile));
}

CString CUpdateInfo::ReadUpdateVersion() const { return ReadString(kUpdate, L"Version"); }

CString CUpdateInfo::ReadUpdateInfo() const
{
    // The record keeps the news on one line, its line breaks as "+".
    return ExpandNewsLineBreaks(ReadString(kUpdate, L"Info"));
}
