// A host that unpacks the package itself (UpdateMain, then GetUpdates and the
// extraction command) is handed the full package, even when the description
// offers a delta for exactly its version: only the launcher applies one.
#include "dll/DialogPerson.h"
#include "dll/LoadedUpdateLibrary.h"
#include "support/DeltaOffer.h"
#include "support/TestHttpServer.h"

#include "base/ExtractionCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using testing_support::HttpReply;
using testing_support::TestHttpServer;

using testing_support::ReadFileBytes;

TEST(DeltaOffer, AHostThatUnpacksThePackageItselfIsNeverHandedADelta)
{
    const fs::path update = fs::path(TestProgramFolder()) / L"update";
    std::error_code ignored;
    fs::remove_all(update, ignored);
    fs::create_directories(update);
    std::ofstream(update / L"update.log", std::ios::binary) << "[Files]\r\nVersion=1.0\r\nServicePack=0\r\nOEMClientName=Acme\r\n";

    const std::string full = ReadFileBytes(fs::path(TestProgramFolder()).parent_path() / L"packages" / L"e2e.cab");
    // A cabinet all the same, so that only the choice tells them apart.
    std::string delta = full;
    delta[delta.size() - 1] ^= 1;
    TestHttpServer server;
    ASSERT_TRUE(server.Start());
    server.Serve("/full.cab", HttpReply(200, full));
    server.Serve("/delta.cab", HttpReply(200, delta));
    server.Serve("/update.ini", HttpReply(200, testing_support::DeltaOfferDescription(
                                                   "Acme", server.UrlA("/full.cab"), full, server.UrlA("/delta.cab"), delta)));
    {
        LoadedUpdateLibrary lib;
        ASSERT_EQ(S_OK, RunCheckWithPerson(lib, server.Url("/update.ini"), 0, CheckRun::ByHand).hr);
        wchar_t command[2048] = {};
        ASSERT_EQ(S_OK, lib.GetUpdates(command, 2048));
        EXPECT_EQ(full, ReadFileBytes(ParseExtractionCommand(command).package));
    }
    for (const auto& request : server.Requests())
        EXPECT_NE("/delta.cab", request.target);
    server.Stop();
    fs::remove_all(update, ignored);
}

} // namespace
