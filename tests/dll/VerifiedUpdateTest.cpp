// Verified updates through the real update.dll: an installation whose record
// names a publisher key acts only on a description signed with it, and installs
// only the package whose digest that description names; over http and https.
#include "KeyFile.h"
#include "dll/LoadedUpdateLibrary.h"
#include "dll/MessageBoxAnswer.h"
#include "support/ChildProcess.h"
#include "support/TestHttpServer.h"
#include "support/TestTlsProxy.h"
#include "support/WindowDriver.h"
#include "verify/Sha256.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <atomic>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;
using testing_support::HttpReply;
using testing_support::PressButton;
using testing_support::TestHttpServer;
using testing_support::TestTlsProxy;
using testing_support::WaitForWindow;
using testing_support::WaitUntil;

fs::path InstallFolder() { return fs::path(TestProgramFolder()); }
fs::path UpdateFolder() { return InstallFolder() / L"update"; }

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

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
    std::string digest = "package";      // "package": the package's own; else the text itself
    bool bSwappedPackage = false;        // another cabinet than the one the digest names
    bool bTls = false;
    bool bUntrustedTls = false;
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
        std::string description = "[OEMClient_Acme]\r\nMajorVerson=1.1\r\nServicePack=4\r\nCanUpdate=1\r\n"
                                  "URL=" + base + "/update.cab\r\nCABFileSize=" + std::to_string(m_package.size()) +
                                  "\r\n";
        if (!how.digest.empty())
            description += "CABFileSHA256=" + (how.digest == "package" ? HexDigestOf(m_package) : how.digest) + "\r\n";
        if (!how.expires.empty())
            description += "Expires=" + how.expires + "\r\n";
        if (how.bSigned)
            description = SignDescription(description, CSigningKey(how.bOtherKey ? GeneratePrivateKey() : m_key));
        if (how.bChangedAfterSigning)
            description.replace(description.find("ServicePack=4"), 13, "ServicePack=9");
        m_server.Serve("/check", HttpReply(200, description));
        return std::wstring(base.begin(), base.end()) + L"/check";
    }

    // The silent check of a host; the dialog, when it comes, is told to install.
    // As the host's automatic check does it, or (bByHand) as a person who runs update.exe.
    HRESULT CheckAndInstall(LoadedUpdateLibrary& lib, const std::wstring& url, DWORD processId, bool& bDialog,
                            bool bByHand = false)
    {
        const std::wstring pid = std::to_wstring(processId);
        LPCWSTR argv[] = {L"update.exe", url.c_str(), L"/pid", pid.c_str()};
        std::atomic<bool> done{false};
        bDialog = false;
        m_installBox.clear();
        std::thread person([&] {
            HWND hDlg = nullptr;
            while (!hDlg && !done)
                hDlg = WaitForWindow(L"#32770", [](HWND h) { return ::IsWindowVisible(h) != FALSE; }, 200);
            if (!hDlg)
                return;
            bDialog = true;
            WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(hDlg, IDOK)) != FALSE || done; });
            PressButton(hDlg, IDOK);
            // A box that the install shows is read and answered.
            while (!done) {
                const HWND hBox = WaitForWindow(L"#32770", [&](HWND h) { return h != hDlg && ::IsWindowVisible(h); }, 200);
                if (hBox) {
                    m_installBox = testing_support::MessageBoxText(hBox);
                    PressButton(hBox, IDOK);
                    break;
                }
            }
        });
        const HRESULT hr = bByHand ? lib.UpdateMain(argv, 4) : lib.IsAutoUpdate(argv, 4);
        done = true;
        person.join();
        return hr;
    }

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

TEST_F(VerifiedUpdate, EveryRefusalLeavesTheRecordThePackageAndTheHostAsTheyWere)
{
    const auto with = [](const std::function<void(Serving&)>& change) {
        Serving how;
        change(how);
        return how;
    };
    const struct {
        const char* name;
        Serving how;
        HRESULT result;
        bool bDialog;  // the refusal comes at the install, after the offer was shown
    } cases[] = {
        {"not signed", with([](Serving& s) { s.bSigned = false; }), E_FAIL, false},
        {"signed with another key", with([](Serving& s) { s.bOtherKey = true; }), E_FAIL, false},
        {"changed after signing", with([](Serving& s) { s.bChangedAfterSigning = true; }), E_FAIL, false},
        {"expired", with([](Serving& s) { s.expires = "2001-01-01T00:00:00Z"; }), E_FAIL, false},
        {"an expiry that is no time", with([](Serving& s) { s.expires = "soon"; }), E_FAIL, false},
        {"from an authority nobody trusts", with([](Serving& s) { s.bTls = s.bUntrustedTls = true; }), E_FAIL, false},
        {"no digest", with([](Serving& s) { s.digest.clear(); }), TRUST_E_NOSIGNATURE, true},
        {"a digest that is no digest", with([](Serving& s) { s.digest = "1234"; }), TRUST_E_BAD_DIGEST, true},
        {"another package than the digest names", with([](Serving& s) { s.bSwappedPackage = true; }),
         TRUST_E_BAD_DIGEST, true},
    };
    const std::wstring host = InstallFolder().parent_path().wstring() + L"\\unit\\kill_child.exe";
    ChildProcess child(host, L"\"" + host + L"\" ignore");
    ASSERT_TRUE(child.Started());
    for (const auto& c : cases) {
        // A refusal at the install is told to a person who ran the update by hand;
        // the host's automatic check reports nothing.
        for (const bool bByHand : c.bDialog ? std::vector<bool>{false, true} : std::vector<bool>{false}) {
            SCOPED_TRACE(std::string(c.name) + (bByHand ? ", by hand" : ""));
            m_tls = TestTlsProxy();
            const std::wstring url = Serve(c.how);
            LoadedUpdateLibrary lib;
            bool bDialog = false;
            EXPECT_EQ(c.result, CheckAndInstall(lib, url, child.Id(), bDialog, bByHand));
            EXPECT_EQ(c.bDialog, bDialog);
            EXPECT_EQ(bByHand ? L"更新包未通过校验, 没有安装." : L"", m_installBox);
            // An offer shown was recorded as the last offer; nothing says it was installed.
            EXPECT_EQ(c.bDialog ? m_record + "[Update]\r\nVersion=1.1\r\nInfo=\r\n" : m_record,
                      Read(UpdateFolder() / L"update.log"));
            EXPECT_EQ("from an earlier run", Read(UpdateFolder() / L"update.cab"));
            EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.cab.tmp"));
            EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), child.ExitCode());
            if (!c.bDialog) {
                EXPECT_FALSE(fs::exists(UpdateFolder() / L"update.ini"));
            }
        }
    }
}

} // namespace
