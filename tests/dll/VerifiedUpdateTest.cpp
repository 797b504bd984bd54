// Verified updates through the real update.dll: an installation whose record
// names a publisher key acts only on a description signed with it, whose client
// section names when it expires, and installs only the package whose digest
// that description names; over http and https.
#include "KeyFile.h"
#include "dll/DialogPerson.h"
#include "dll/LoadedUpdateLibrary.h"
#include "dll/MessageBoxAnswer.h"
#include "support/TestFiles.h"
#include "support/ChildProcess.h"
#include "support/DebugOutputSpy.h"
#include "support/TestHttpServer.h"
#include "support/TestTlsProxy.h"
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;
using testing_support::DebugOutputSpy;
using testing_support::HttpReply;
using testing_support::Read;
using testing_support::TestHttpServer;
using testing_support::TestTlsProxy;
using testing_support::Write;

const std::wstring kDescriptionRefused = L"更新信息未通过校验, 不能更新.";
const std::wstring kPackageRefused = L"更新包未通过校验, 没有安装.";

fs::path InstallFolder() { return fs::path(TestProgramFolder()); }
fs::path UpdateFolder() { return InstallFolder() / L"update"; }

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::string HexDigestOf(const std::string& bytes)
{
    Sha256Digest digest;
    Sha256Of(bytes.data(), bytes.size(), digest);
    return Narrow(FormatSha256Hex(digest));
}

// What a description may be made into before it is served.
struct Serving {
    bool bSigned = true;
    bool bOtherKey = false;              // signed, but not by the record's key
    bool bChangedAfterSigning = false;
    std::string expires = "2099-01-01T00:00:00Z";
    bool bExpiresInAnotherSection = false;
    bool bProfessionalOnly = false;      // only the professional package is newer, and it has no digest
    std::string digest = "package";      // "package": the package's own; else the text itself
    bool bSwappedPackage = false;        // another cabinet than the one the digest names
    bool bTls = false;
    bool bUntrustedTls = false;
    std::string client = "Acme";         // the section's client
    std::string version = "1.1";
    std::string servicePack = "4";
};

class VerifiedUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        ASSERT_TRUE(m_server.Start());
        ASSERT_TRUE(testing_support::TrustTestAuthority());
        m_package = Read(InstallFolder().parent_path() / L"packages" / L"e2e.cab");
        ASSERT_GT(m_package.size(), 12u);
        m_record = "[Files]\r\nVersion=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\nPublisherKey=" +
                   Narrow(PublisherKeyOf(m_key)) + "\r\n[Dialog]\r\nUpgradeFinished=done\r\n";
        Write(UpdateFolder() / L"update.log", m_record);
        Write(UpdateFolder() / L"update.cab", "from an earlier run");
    }

    void TearDown() override
    {
        m_server.Stop();
        Clean();
    }

    static void Clean()
    {
        std::error_code ignored;
        fs::remove_all(UpdateFolder(), ignored);
    }

    // Serves the description and the package as `how` says; returns the service address.
    std::wstring Serve(const Serving& how)
    {
        std::string package = m_package;
        if (how.bSwappedPackage)
            package[package.size() - 1] ^= 1;
        m_server.Serve("/update.cab", HttpReply(200, package));
        if (how.bTls && !m_tls.Port()) {
            EXPECT_TRUE(m_tls.Start(m_server.Port(), !how.bUntrustedTls));
        }
        const std::string base = how.bTls ? m_tls.UrlA("") : m_server.UrlA("");
        std::string description = "[OEMClient_" + how.client + "]\r\nMajorVerson=" + how.version +
                                  "\r\nServicePack=" + how.servicePack + "\r\nCanUpdate=1\r\nURL=" + base +
                                  "/update.cab\r\nCABFileSize=" + std::to_string(m_package.size()) + "\r\n";
        if (!how.digest.empty())
            description += "CABFileSHA256=" + (how.digest == "package" ? HexDigestOf(m_package) : how.digest) + "\r\n";
        if (!how.expires.empty() && !how.bExpiresInAnotherSection)
            description += "Expires=" + how.expires + "\r\n";
        if (how.bExpiresInAnotherSection)
            description += "[OEMClient_Other]\r\nMajorVerson=1.1\r\nExpires=" + how.expires + "\r\n";
        if (how.bProfessionalOnly)
            description.replace(description.find("ServicePack=4"), 13, "ServicePack=3\r\nServiceProPack=4");
        if (how.bSigned)
            description = SignDescription(description, CSigningKey(how.bOtherKey ? GeneratePrivateKey() : m_key));
        if (how.bChangedAfterSigning)
            description.replace(description.find("ServicePack=4"), 13, "ServicePack=9");
        m_server.Serve("/check", HttpReply(200, description));
        return std::wstring(base.begin(), base.end()) + L"/check";
    }

    using Run = CheckRun;

    HRESULT CheckAndInstall(LoadedUpdateLibrary& lib, const std::wstring& url, DWORD processId, bool& bDialog,
                            Run run = Run::HostCheck, const std::function<void()>& beforeInstall = {})
    {
        const CheckOutcome outcome = RunCheckWithPerson(lib, url, processId, run, beforeInstall);
        bDialog = outcome.bDialog;
        m_verdictText = outcome.verdictText;
        m_installBox = outcome.installBox;
        return outcome.hr;
    }

    std::wstring m_verdictText;  // the dialog's status line once the check ended
    std::wstring m_installBox;  // the text of a message box shown after Install
    TestHttpServer m_server;
    TestTlsProxy m_tls;
    P256PrivateKey m_key = GeneratePrivateKey();
    std::string m_package;
    std::string m_record;
};

TEST_F(VerifiedUpdate, ASignedUpdateInstallsAndCompletesOverHttpAndHttps)
{
    for (bool bTls : {false, true}) {
        SCOPED_TRACE(bTls ? "https" : "http");
        Serving how;
        how.bTls = bTls;
        const std::wstring url = Serve(how);
        LoadedUpdateLibrary lib;
        bool bDialog = false;
        ASSERT_EQ(S_OK, CheckAndInstall(lib, url, 0, bDialog));
        EXPECT_TRUE(bDialog);
        EXPECT_EQ(L"", m_installBox);
        EXPECT_EQ(m_package, Read(UpdateFolder() / L"update.cab"));

        wchar_t command[1024] = {};
        ASSERT_EQ(S_OK, lib.GetUpdates(command, 1024));
        HRESULT hr = E_FAIL;
        AnswerMessageBox([&] { hr = lib.NotifyEvent(0, 0, 0); });
        EXPECT_EQ(S_OK, hr);
        wchar_t version[16] = {};
        ::GetPrivateProfileStringW(L"Files", L"Version", L"", version, 16, (UpdateFolder() / L"update.log").c_str());
        EXPECT_STREQ(L"1.1", version);
        Write(UpdateFolder() / L"update.log", m_record);
    }
}

TEST_F(VerifiedUpdate, EveryRefusalIsToldAsWhatItIsAndLeavesTheRecordThePackageAndTheHostAsTheyWere)
{
    const auto with = [](const std::function<void(Serving&)>& change) {
        Serving how;
        change(how);
        return how;
    };
    enum class When { AtCheck, AtInstall, NoAnswer };
    const struct {
        const char* name;
        Serving how;
        When when;
        HRESULT result;             // of every run
        const char* reason;         // in the library's trace; null: none expected
        bool bChangeBeforeInstall;  // the description in the folder is altered once offered
        std::wstring installBox;    // told to a person who pressed Install
    } cases[] = {
        {"not signed", with([](Serving& s) { s.bSigned = false; }), When::AtCheck, TRUST_E_SUBJECT_NOT_TRUSTED,
         "no signature line", false, L""},
        {"signed with another key", with([](Serving& s) { s.bOtherKey = true; }), When::AtCheck,
         TRUST_E_SUBJECT_NOT_TRUSTED, "no publisher key verifies", false, L""},
        {"changed after signing", with([](Serving& s) { s.bChangedAfterSigning = true; }), When::AtCheck,
         TRUST_E_SUBJECT_NOT_TRUSTED, "no publisher key verifies", false, L""},
        {"expired", with([](Serving& s) { s.expires = "2001-01-01T00:00:00Z"; }), When::AtCheck,
         TRUST_E_SUBJECT_NOT_TRUSTED, "has expired", false, L""},
        {"an expiry that is no time", with([](Serving& s) { s.expires = "soon"; }), When::AtCheck,
         TRUST_E_SUBJECT_NOT_TRUSTED, "Expires is no UTC time", false, L""},
        {"no expiry", with([](Serving& s) { s.expires.clear(); }), When::AtCheck, TRUST_E_SUBJECT_NOT_TRUSTED,
         "has no Expires", false, L""},
        {"an expiry in another client's section only", with([](Serving& s) { s.bExpiresInAnotherSection = true; }),
         When::AtCheck, TRUST_E_SUBJECT_NOT_TRUSTED, "has no Expires", false, L""},
        {"no digest", with([](Serving& s) { s.digest.clear(); }), When::AtCheck, TRUST_E_SUBJECT_NOT_TRUSTED,
         "no valid digest", false, L""},
        {"a digest that is no digest", with([](Serving& s) { s.digest = "1234"; }), When::AtCheck,
         TRUST_E_SUBJECT_NOT_TRUSTED, "no valid digest", false, L""},
        {"only the professional package, without its digest", with([](Serving& s) { s.bProfessionalOnly = true; }),
         When::AtCheck, TRUST_E_SUBJECT_NOT_TRUSTED, "no valid digest", false, L""},
        {"another package than the digest names", with([](Serving& s) { s.bSwappedPackage = true; }),
         When::AtInstall, TRUST_E_BAD_DIGEST, nullptr, false, kPackageRefused},
        {"changed in the folder once offered", Serving(), When::AtInstall, TRUST_E_SUBJECT_NOT_TRUSTED,
         "no publisher key verifies", true, kDescriptionRefused},
        // Last: under a heavy load, Wine's client has been seen to fail the plain
        // requests that follow a refused certificate for some seconds.
        {"from an authority nobody trusts", with([](Serving& s) { s.bTls = s.bUntrustedTls = true; }),
         When::NoAnswer, E_FAIL, nullptr, false, L""},
    };
    const auto changeInFolder = [] {
        std::string description = Read(UpdateFolder() / L"update.ini");
        description.replace(description.find("ServicePack=4"), 13, "ServicePack=5");
        Write(UpdateFolder() / L"update.ini", description);
    };
    DebugOutputSpy trace;
    ASSERT_TRUE(trace.Installed());
    const std::wstring host = InstallFolder().parent_path().wstring() + L"\\unit\\kill_child.exe";
    ChildProcess child(host, L"\"" + host + L"\" ignore");
    ASSERT_TRUE(child.Started());
    for (const auto& c : cases) {
        // A failed transfer shows its own error boxes to a person: only the host's check runs it.
        std::vector<Run> runs = {Run::HostCheck};
        if (c.when != When::NoAnswer)
            runs.push_back(Run::ByHand);
        if (c.when == When::AtCheck)
            runs.push_back(Run::ByHandSilent);
        for (const Run run : runs) {
            SCOPED_TRACE(std::string(c.name) + (run == Run::ByHand         ? ", by hand"
                                                : run == Run::ByHandSilent ? ", by hand, silent"
                                                                           : ""));
            Write(UpdateFolder() / L"update.log", m_record);
            m_tls = TestTlsProxy();
            trace.Clear();
            const std::wstring url = Serve(c.how);
            LoadedUpdateLibrary lib;
            bool bDialog = false;
            EXPECT_EQ(c.result, CheckAndInstall(lib, url, child.Id(), bDialog, run,
                                                c.bChangeBeforeInstall ? changeInFolder : std::function<void()>()));
            // The dialog shows only to a person, or to tell of an offer; a
            // refusal at the check reads as one, never as "nothing new".
            const bool bShown = c.when == When::AtInstall || (run == Run::ByHand && c.when == When::AtCheck);
            EXPECT_EQ(bShown, bDialog);
            if (bShown && c.when == When::AtCheck) {
                EXPECT_EQ(kDescriptionRefused, m_verdictText);
            }
            EXPECT_EQ(run == Run::HostCheck ? L"" : c.installBox, m_installBox);
            if (c.reason) {
                const std::vector<std::string> texts = trace.Texts();
                EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
                    return text.find("refused") != std::string::npos && text.find(c.reason) != std::string::npos;
                })) << "no trace names the reason";
            }
            // An offer shown was recorded as the last offer; nothing says it was installed.
            EXPECT_EQ(c.when == When::AtInstall ? m_record + "[Update]\r\nVersion=1.1\r\nInfo=\r\n" : m_record,
                      Read(UpdateFolder() / L"update.log"));
            EXPECT_EQ("from an earlier run", Read(UpdateFolder() / L"update.cab"));
            EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.cab.tmp"));
            EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), child.ExitCode());
            if (c.reason) {
                EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.ini"));
            }
        }
    }
}

TEST_F(VerifiedUpdate, TheLogSaysWhyForEveryDecisionAndHoldsNoSecret)
{
    const auto with = [](const std::function<void(Serving&)>& change) {
        Serving how;
        change(how);
        return how;
    };
    const std::string keyLine = m_record.substr(m_record.find("PublisherKey="), m_record.find("\r\n[Dialog]") -
                                                                                    m_record.find("PublisherKey="));
    const std::string unsignedRecord = m_record.substr(0, m_record.find("PublisherKey=")) +
                                       m_record.substr(m_record.find("[Dialog]"));
    const std::string kLogOn = "[Log]\r\nEnabled=1\r\n";
    const std::string report = "/check&version=1.0&SP=3: status 404";  // a static server's answer to the report
    const struct {
        const char* name;
        Serving how;
        std::string record;                 // empty: the fixture's, with the log on
        bool bUnreachable;                  // no server at the address
        std::vector<std::string> lines;     // each in the log; none: no log at all
    } cases[] = {
        {"offered and installed", Serving(), "", false,
         {report, "/check: status 200", "offered 1.1 service pack 4, installed 1.0 service pack 3: offered",
          "/update.cab: status 200", "the package is ready"}},
        {"not signed", with([](Serving& s) { s.bSigned = false; }), "", false,
         {"description refused: no signature line"}},
        {"changed after signing", with([](Serving& s) { s.bChangedAfterSigning = true; }), "", false,
         {"description refused: no publisher key verifies"}},
        {"expired", with([](Serving& s) { s.expires = "2001-01-01T00:00:00Z"; }), "", false,
         {"description refused: its client section has expired"}},
        {"no digest", with([](Serving& s) { s.digest.clear(); }), "", false,
         {"description refused: the offered package has no valid digest"}},
        {"no section for this client", with([](Serving& s) { s.client = "Other"; }), "", false,
         {"no MajorVerson in a section [OEMClient_Acme]", "description refused: its client section has no Expires"}},
        {"the same version and service pack", with([](Serving& s) { s.version = "1.0"; s.servicePack = "3"; }), "",
         false, {"installed 1.0 service pack 3: not offered, the same version needs a higher service pack",
                 "check: nothing is offered"}},
        {"a newer version with the same service pack", with([](Serving& s) { s.servicePack = "3"; }), "", false,
         {"offered 1.1 service pack 3, installed 1.0 service pack 3: not offered, a newer version must raise the "
          "service pack too"}},
        {"an older version", with([](Serving& s) { s.version = "0.9"; }), "", false,
         {"not offered, the offered version is older"}},
        {"another package than the digest names", with([](Serving& s) { s.bSwappedPackage = true; }), "", false,
         {"package: its SHA-256 is ", "no package: refused, its SHA-256 is not the one the description names"}},
        {"no publisher key", with([](Serving& s) { s.bSigned = false; s.version = "1.0"; }), unsignedRecord + kLogOn,
         false,
         {"taken without a signature check, the record pins no PublisherKey or PublisherRoot"}},
        {"no server", Serving(), "", true, {"/check&version=1.0&SP=3: 0x8007", "description: none from http://"}},
        {"off by default", Serving(), m_record, false, {}},
    };
    const fs::path log = UpdateFolder() / L"activity.log";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(UpdateFolder() / L"update.log", c.record.empty() ? m_record + kLogOn : c.record);
        fs::remove(log);
        std::wstring url = Serve(c.how);
        if (c.bUnreachable)
            url = L"http://127.0.0.1:" + std::to_wstring(TestHttpServer::UnusedPort()) + L"/check";
        LoadedUpdateLibrary lib;
        bool bDialog = false;
        CheckAndInstall(lib, url, 0, bDialog);
        const std::string text = Read(log);
        if (c.lines.empty()) {
            EXPECT_FALSE(fs::exists(log));
            continue;
        }
        for (const std::string& line : c.lines)
            EXPECT_NE(std::string::npos, text.find(line)) << "missing: " << line << "\nin:\n" << text;
        // No key, no signature, no description's body; every line whole.
        EXPECT_EQ(std::string::npos, text.find(keyLine.substr(keyLine.find('=') + 1, 40)));
        EXPECT_EQ(std::string::npos, text.find("signature="));
        EXPECT_EQ(std::string::npos, text.find("MajorVerson="));
        EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    }

    // Bounded: a full log becomes the old one, and a new one starts.
    Write(UpdateFolder() / L"update.log", m_record + kLogOn);
    const std::string full(300 * 1024, 'x');
    Write(log, full);
    LoadedUpdateLibrary lib;
    bool bDialog = false;
    CheckAndInstall(lib, Serve(with([](Serving& s) { s.bSigned = false; })), 0, bDialog);
    EXPECT_EQ(full, Read(UpdateFolder() / L"activity.old.log"));
    EXPECT_LT(fs::file_size(log), 4096u);
    EXPECT_NE(std::string::npos, Read(log).find("description refused"));
}

} // namespace
