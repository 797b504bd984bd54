// update-publish.exe: what a publisher runs to make, describe, sign and check an update.
#include "Publish.h"

int wmain(int argc, wchar_t** argv)
{
    return RunPublish(std::vector<std::wstring>(argv + 1, argv + argc));
}
