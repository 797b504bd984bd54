#include "install/SettingsItems.h"

#include "description/RemoteUpdateInfo.h"
#include "framework/AfxWin.h"
#include "install/DescriptionSafety.h"
#include "install/FileManager.h"
#include "install/UpdateFolder.h"

#include <shlobj.h>

bool ParseIniItem(const CString& text, LPCWSTR pszAppFolder, LPCWSTR pszAppDataFolder, CIniItem& item)
{
    const std::vector<CString> fields = AfxSplitString(text, L",");
    if (fields.size() != 4)
        return false;
    // Filled apart and taken whole: a value cut short by a field that could not
    // be read would be written as an empty one, erasing the setting.
    CIniItem parsed = item;
    for (const CString& field : fields) {
        std::vector<CString> parts = AfxSplitString(field, L":");
        if (parts.size() != 2)
            return false;
        const CString& name = parts[0].Trim();
        CString& value = parts[1].Trim();
        if (name.CompareNoCase(L"Filename") == 0) {
            value.Replace(L"<app>", pszAppFolder);
            value.Replace(L"<appdata>", pszAppDataFolder);
            parsed.strFile = value;
        } else if (name.CompareNoCase(L"Section") == 0) {
            parsed.strSection = value;
        } else if (name.CompareNoCase(L"Keyname") == 0) {
            parsed.strKey = value;
        } else if (name.CompareNoCase(L"Value") == 0) {
            parsed.strValue = value;
        }
    }
    item = parsed;
    return true;
}

CString CommonAppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_APPDATA, TRUE))
        return CString();
    return CString(path);
}

bool CRemoteUpdateInfo::ReadIniItem(CString& file, CString& section, CString& key, CString& value, int nItem) const
{
    CIniItem item{file, section, key, value};
    if (!ParseIniItem(ReadNumberedString(L"IniItem%d", nItem), AfxGetModuleFolder(nullptr), CommonAppDataFolder(), item))
        return false;
    file = item.strFile;
    section = item.strSection;
    key = item.strKey;
    value = item.strValue;
    return true;
}

void ApplySettingsItems(const CRemoteUpdateInfo& offered)
{
    const int nCount = offered.ReadListCount(L"IniItemCount");
    if (nCount <= 0)
        return;
    const CString hostFolder = AfxGetModuleFolder(nullptr);
    const CString appDataFolder = CommonAppDataFolder();
    const CString updateFolder = UpdateFolderPath();
    for (int i = 0; i < nCount; ++i) {
        CString file, section, key, value;
        if (!offered.ReadIniItem(file, section, key, value, i))
            continue;
        if (file.IsEmpty() || section.IsEmpty() || key.IsEmpty())
            continue;
        // The description arrives over plain HTTP: it may change this product's
        // settings, never another program's or the system's.
        CString target;
        if (ResolveSettingsFile(file, hostFolder, appDataFolder, updateFolder, target))
            ::WritePrivateProfileStringW(section, key, value, target);
    }
}
