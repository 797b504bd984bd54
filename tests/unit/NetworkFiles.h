// What the network tests of the file manager share: a local service, the
// update folder cleaned around each test, and the package cabinets of the build.
#pragma once

#include "support/TestHttpServer.h"
#include "unit/UpdateFiles.h"

#include <optional>
#include <string>

// The bytes of a file; nothing when it cannot be read.
std::optional<std::string> ReadBytes(const std::wstring& path);

// A cabinet that the build makes in tests/packages.
std::wstring TestPackage(const std::wstring& name);

class NetworkFilesTest : public UpdateFilesTest {
protected:
    void SetUp() override;
    void TearDown() override;

    testing_support::TestHttpServer m_server;
};
