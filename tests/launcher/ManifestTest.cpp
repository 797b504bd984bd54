// Every program we build runs as the person who starts it, and declares the
// systems it was made for: read from the manifest resource of each built file.
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ManifestOf(const std::wstring& program)
{
    const HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return std::string();
    std::string manifest;
    if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const HGLOBAL loaded = ::LoadResource(module, found);
        const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
        if (bytes)
            manifest.assign(bytes, ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return manifest;
}

// The system reads it: a manifest that does not parse stops the program from starting at all.
bool SystemTakesIt(const std::wstring& program)
{
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE made = ::CreateActCtxW(&context);
    if (made == INVALID_HANDLE_VALUE)
        return false;
    ::ReleaseActCtx(made);
    return true;
}

TEST(Manifest, EveryProgramAsksToRunAsItsInvokerOnTheSystemsItKnows)
{
    const std::wstring build = TestFolder() + L"\\..\\..";
    const std::wstring programs[] = {
        build + L"\\bin\\update.exe",          build + L"\\bin\\update-publish.exe",
        build + L"\\samples\\host\\host.exe",  build + L"\\samples\\host-1.1\\host.exe",
        build + L"\\samples\\demo\\demo_driver.exe", TestFolder() + L"\\hold_file.exe",
    };
    const char* entries[] = {
        "<requestedExecutionLevel level=\"asInvoker\"",
        "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",  // Vista
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
        "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
    };
    for (const std::wstring& program : programs) {
        SCOPED_TRACE(testing::PrintToString(program));
        const std::string manifest = ManifestOf(program);
        ASSERT_FALSE(manifest.empty());
        for (const char* entry : entries)
            EXPECT_NE(std::string::npos, manifest.find(entry)) << entry;
        EXPECT_TRUE(SystemTakesIt(program));
    }
}

} // namespace
