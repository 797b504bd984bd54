// Deleting what the deletion lists of an update description name ("DelFile%d",
// "DelDirName%d"). The description travels over plain HTTP and can be altered
// on the way, so an entry reaches only the host program folder, never the
// library's own update folder, and never through a link: a link is removed as
// a link, never what it points at.
#pragma once

#include "framework/AfxString.h"

#include <string>

enum class EListedKind {
    File,    // a file, or a link of any kind; never a folder
    Folder,  // a folder with everything in it, a file, or a link
};

class CListedDeletion {
public:
    // The host program folder the entries are relative to, and the update
    // folder, which no entry may name, lie in, or contain.
    CListedDeletion(LPCWSTR pszHostFolder, LPCWSTR pszUpdateFolder);

    // Deletes what the entry names, as far as it may: an entry the checks
    // refuse deletes nothing, and a link met inside a folder stays when the
    // platform could remove it only by reaching its target.
    void Delete(LPCWSTR pszEntry, EListedKind kind) const;

private:
    CString m_strHostFolder;
    CString m_strUpdateFolder;
    // The two folders as the platform names them, links and short names resolved.
    std::wstring m_strHostFinal;
    std::wstring m_strUpdateFinal;
};
