#include "install/FileManager.h"

CFileManager::~CFileManager() = default;
