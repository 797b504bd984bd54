// Records what the library would show or open, instead of showing it.
#pragma once

#include "framework/AfxUserEffects.h"

#include <string>
#include <vector>

struct RecordedMessage {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class RecordingEffects : public CUserEffects {
public:
    int ShowMessage(HWND hOwner, LPCWSTR pszText, LPCWSTR pszCaption, UINT nType) override;
    BOOL OpenDocument(LPCWSTR pszAddress) override;

    void Clear();

    std::vector<RecordedMessage> messages;
    std::vector<std::wstring> opened;
};

// The recorder that every unit test runs with; cleared before each test.
RecordingEffects& Effects();
