#include "dll/MessageBoxAnswer.h"

#include "support/WindowDriver.h"

#include <windows.h>

#include <thread>

using namespace testing_support;

AnsweredBox AnswerMessageBox(const std::function<void()>& call)
{
    AnsweredBox box;
    std::thread driver([&box] {
        HWND hBox = WaitForWindow(L"#32770", [](HWND h) { return ::IsWindowVisible(h) != FALSE; });
        if (!hBox)
            return;
        box.shown = true;
        box.text = MessageBoxText(hBox);
        box.caption = WindowText(hBox);
        PressButton(hBox, IDOK);
    });
    call();
    driver.join();
    return box;
}
