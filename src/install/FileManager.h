// The update's files on disk: the installed record, the offered description,
// the update folder and the edition flag.
#pragma once

#include "framework/AfxString.h"

class CLocalUpdateInfo;
class CRemoteUpdateInfo;
class IUpdateEventSink;

class CFileManager {
public:
    CFileManager() = default;
    virtual ~CFileManager();
    CFileManager(const CFileManager&) = delete;
    CFileManager& operator=(const CFileManager&) = delete;

    CLocalUpdateInfo* m_pLocalInfo = nullptr;
    CRemoteUpdateInfo* m_pRemoteInfo = nullptr;
    IUpdateEventSink* m_pEventSink = nullptr;
    BOOL m_bIsProUpdate = 0;
};
