#include "install/ListedDeletion.h"

#include "install/DescriptionSafety.h"
#include "base/ItemDeletion.h"

#include <string_view>

namespace {

std::wstring JoinBelow(std::wstring folder, std::wstring_view rest)
{
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    while (!rest.empty() && (rest.front() == L'\\' || rest.front() == L'/'))
        rest.remove_prefix(1);
    return folder + L'\\' + std::wstring(rest);
}

} // namespace

CListedDeletion::CListedDeletion(LPCWSTR pszHostFolder, LPCWSTR pszUpdateFolder)
    : m_strHostFolder(pszHostFolder),
      m_strUpdateFolder(pszUpdateFolder),
      m_strHostFinal(FinalPathOf(pszHostFolder)),
      m_strUpdateFinal(FinalPathOf(pszUpdateFolder))
{
}

void CListedDeletion::Delete(LPCWSTR pszEntry, EListedKind kind) const
{
    CString path;
    // A tampered description must not reach anything outside the host's folder, nor the folder itself.
    if (!ResolveDeletionPath(m_strHostFolder, pszEntry, path))
        return;
    // The update folder holds the installed record: not it, nothing in it, nothing that holds it.
    if (PathsOverlap(path, m_strUpdateFolder))
        return;
    // Without the host folder's real place no entry can be checked against links.
    if (m_strHostFinal.empty())
        return;
    const std::wstring root = JoinBelow(m_strHostFinal, std::wstring_view(path.Str()).substr(m_strHostFolder.GetLength()));
    // Again on the real places, whatever short names or links either path was spelt with.
    if (!m_strUpdateFinal.empty() && PathsOverlap(root.c_str(), m_strUpdateFinal.c_str()))
        return;
    DeleteItemTree(root, kind == EListedKind::Folder);
}
