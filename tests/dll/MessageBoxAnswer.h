// Runs a call that shows one message box, reads the box as a person would and presses OK.
#pragma once

#include <functional>
#include <string>

struct AnsweredBox {
    bool shown = false;
    std::wstring text;
    std::wstring caption;
};

AnsweredBox AnswerMessageBox(const std::function<void()>& call);
