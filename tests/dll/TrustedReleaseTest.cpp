// Which release reaches an installation, through the real update.dll: a
// record that pins a root takes descriptions signed by the key it certified;
// a staged rollout reaches only its share of silent checks and every check a
// person starts; a signed recall sends the recalled version back through the
// usual install; and the serial an installation acted on holds after the host
// restarts.
#include "KeyFile.h"
#include "base/Sha256.h"
#include "dll/DialogPerson.h"
#include "dll/LoadedUpdateLibrary.h"
#include "dll/MessageBoxAnswer.h"
#include "support/TestFiles.h"
#include "support/ChildProcess.h"
#include "support/TestHttpServer.h"
#include "verify/TrustMemory.h"
#include "verify/TrustStatement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;
using testing_support::HttpReply;
using testing_support::Read;
using testing_support::ReadProfile;
using testing_support::TestHttpServer;
using testing_support::Write;

fs::path InstallFolder() { return fs::path(TestProgramFolder()); }
fs::path UpdateFolder() { return InstallFolder() / L"update"; }
fs::path RecordFile() { return UpdateFolder() / L"update.log"; }
fs::path TrustFile() { return UpdateFolder() / L"update.trust"; }

struct TestKey {
    P256PrivateKey secret = GeneratePrivateKey();
    std::wstring text = PublisherKeyOf(secret);
    std::string ascii = std::string(text.begin(), text.end());
};

enum class Pin { None, Root, Key };
enum class Signer {
    None,         // not signed
    Certified,    // the key the root certified, the certificate in [Trust]
    Direct,       // the key pinned directly
    Uncertified,  // the certificate names the certified key, another key signed
};

// One section of the description; every one offers the test package.
struct Section {
    std::string name = "OEMClient_Acme";
    std::string version = "1.1";
    int servicePack = 4;
    std::string serial;   // the keys below are left out when empty
    std::string rollout;
    std::string recall;
};

class TrustedRelease : public testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        ASSERT_TRUE(m_server.Start());
        m_package = Read(InstallFolder().parent_path() / L"packages" / L"e2e.cab");
        ASSERT_GT(m_package.size(), 12u);
        m_server.Serve("/update.cab", HttpReply(200, m_package));
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

    // The record of an installation of version and service pack.
    void Install(const std::string& version, int servicePack, Pin pin, const std::string& channel = "")
    {
        std::string record = "[Files]\r\nVersion=" + version + "\r\nServicePack=" + std::to_string(servicePack) +
                             "\r\nOEMClientName=Acme\r\n";
        if (pin == Pin::Root)
            record += "PublisherRoot=" + m_root.ascii + "\r\n";
        if (pin == Pin::Key)
            record += "PublisherKey=" + m_signing.ascii + "\r\n";
        if (!channel.empty())
            record += "Channel=" + channel + "\r\n";
        Write(RecordFile(), record + "[Dialog]\r\nUpgradeFinished=done\r\n");
    }

    // Serves the description of sections, signed as signer says; the check's address.
    std::wstring Serve(const std::vector<Section>& sections, Signer signer)
    {
        Sha256Digest digest;
        Sha256Of(m_package.data(), m_package.size(), digest);
        const std::wstring hex = FormatSha256Hex(digest);
        std::string text;
        for (const Section& s : sections) {
            text += "[" + s.name + "]\r\nMajorVerson=" + s.version + "\r\nServicePack=" +
                    std::to_string(s.servicePack) + "\r\nCanUpdate=1\r\nURL=" + m_server.UrlA("/update.cab") +
                    "\r\nCABFileSize=" + std::to_string(m_package.size()) + "\r\nCABFileSHA256=" +
                    std::string(hex.begin(), hex.end()) + "\r\nExpires=2099-01-01T00:00:00Z\r\n";
            for (const auto& [key, value] : {std::pair<const char*, const std::string&>{"Serial", s.serial},
                                             {"Rollout", s.rollout}, {"Recall", s.recall}}) {
                if (!value.empty())
                    text += std::string(key) + "=" + value + "\r\n";
            }
        }
        if (signer == Signer::Certified || signer == Signer::Uncertified) {
            CertificateStatement certificate;
            certificate.purpose = kDescriptionPurpose;
            certificate.id = "build-1";
            certificate.until = "2099-01-01T00:00:00Z";
            certificate.key = m_signing.ascii;
            const std::string statement = FormatCertificate(certificate);
            text += "[Trust]\r\nCertificate=" + statement + "\r\nCertificateSignature=" +
                    SignStatement(statement, CSigningKey(m_root.secret)) + "\r\n";
        }
        if (signer == Signer::Certified || signer == Signer::Direct)
            text = SignDescription(text, CSigningKey(m_signing.secret));
        if (signer == Signer::Uncertified)
            text = SignDescription(text, CSigningKey(GeneratePrivateKey()));
        m_server.Serve("/check", HttpReply(200, text));
        return m_server.Url("/check");
    }

    // The silent check of a host started anew: a process of its own that checks once and ends.
    static HRESULT CheckInNewProcess(const std::wstring& url)
    {
        const std::wstring host = (InstallFolder() / L"check_host.exe").wstring();
        ChildProcess child(host, L"\"" + host + L"\" " + url);
        EXPECT_TRUE(child.Started());
        EXPECT_TRUE(child.WaitForExit());
        return static_cast<HRESULT>(child.ExitCode());
    }

    TestHttpServer m_server;
    std::string m_package;
    TestKey m_root, m_signing;
};

TEST_F(TrustedRelease, SilentChecksOfferOnlyWithinTheRolloutAndAPersonsCheckIgnoresIt)
{
    const auto release = [](const char* rollout, const std::string& name = "OEMClient_Acme") {
        Section section;
        section.name = name;
        section.rollout = rollout;
        return section;
    };
    const struct {
        const char* name;
        std::vector<Section> sections;
        const char* channel;
        int bucket;  // kept beforehand; -1: none yet
        CheckRun run;
        bool bOffered;
    } cases[] = {
        {"halted, silent", {release("0")}, "", -1, CheckRun::HostCheck, false},
        {"to all, silent: the bucket is drawn and kept", {release("100")}, "", -1, CheckRun::HostCheck, true},
        {"1 %, silent, the last bucket", {release("1")}, "", 9999, CheckRun::HostCheck, false},
        {"1 %, silent by /s, the first bucket", {release("1")}, "", 0, CheckRun::ByHandSilent, true},
        {"1 %, a person's check, the last bucket", {release("1")}, "", 9999, CheckRun::ByHand, true},
        {"halted, a person's check", {release("0")}, "", 0, CheckRun::ByHand, false},
        {"the channel's own release", {release("0"), release("100", "OEMClient_Acme@beta")}, "beta", 5000,
         CheckRun::HostCheck, true},
        {"a channel without a release of its own", {release("0"), release("100", "OEMClient_Acme@beta")}, "nightly",
         5000, CheckRun::HostCheck, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        Install("1.0", 3, Pin::Root, c.channel);
        if (c.bucket >= 0)
            Write(TrustFile(), "[Remembered]\r\nBucket=" + std::to_string(c.bucket) + "\r\n");
        const std::wstring url = Serve(c.sections, Signer::Certified);
        LoadedUpdateLibrary lib;
        const CheckOutcome outcome = RunCheckWithPerson(lib, url, 0, c.run);
        EXPECT_EQ(c.bOffered ? S_OK : E_ABORT, outcome.hr);
        // Only a person's own check shows "nothing new"; an offer always shows.
        EXPECT_EQ(c.bOffered || c.run == CheckRun::ByHand, outcome.bDialog);
        EXPECT_EQ(c.bOffered, fs::exists(UpdateFolder() / L"update.cab"));
        const TrustMemory kept = ParseTrustMemory(Read(TrustFile()));
        if (c.bucket >= 0) {
            EXPECT_EQ(static_cast<UINT>(c.bucket), kept.rolloutBucket.value_or(kRolloutBuckets));
        } else {
            // Drawn only when a share of silent checks is to be decided.
            EXPECT_EQ(std::string(c.sections[0].rollout) != "0", kept.rolloutBucket.has_value());
        }
    }
}

TEST_F(TrustedRelease, ASignedRecallSendsOnlyTheRecalledVersionBack)
{
    // The section of 2.0.3, which recalls 2.1.
    Section good;
    good.version = "2.0.3";
    good.servicePack = 3;
    good.recall = "2.1";
    const struct {
        const char* name;
        const char* installed;
        int servicePack;
        Pin pin;
        Signer signer;
        HRESULT result;
        const wchar_t* version;       // the record's afterwards
        const wchar_t* recalledFrom;  // [Update] RecalledFrom afterwards
    } cases[] = {
        {"2.1 goes back", "2.1", 5, Pin::Root, Signer::Certified, S_OK, L"2.0.3", L"2.1"},
        {"2.0.3 stays", "2.0.3", 3, Pin::Root, Signer::Certified, E_ABORT, L"2.0.3", L""},
        {"2.1.1, not recalled, stays", "2.1.1", 6, Pin::Root, Signer::Certified, E_ABORT, L"2.1.1", L""},
        {"an unsigned recall moves nothing", "2.1", 5, Pin::None, Signer::None, E_ABORT, L"2.1", L""},
        {"a recall by a key the root never certified", "2.1", 5, Pin::Root, Signer::Uncertified,
         TRUST_E_SUBJECT_NOT_TRUSTED, L"2.1", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        Install(c.installed, c.servicePack, c.pin);
        const std::wstring url = Serve({good}, c.signer);
        LoadedUpdateLibrary lib;
        EXPECT_EQ(c.result, RunCheckWithPerson(lib, url, 0, CheckRun::HostCheck).hr);
        if (c.result == S_OK) {
            // The usual way: the extraction command, then the completion after the restart.
            EXPECT_EQ(m_package, Read(UpdateFolder() / L"update.cab"));
            wchar_t command[1024] = {};
            ASSERT_EQ(S_OK, lib.GetUpdates(command, 1024));
            EXPECT_TRUE(AnswerMessageBox([&] { lib.NotifyEvent(0, 0, 0); }).shown);
            EXPECT_EQ(L"3", ReadProfile(RecordFile(), L"Files", L"ServicePack"));
        }
        EXPECT_EQ(c.version, ReadProfile(RecordFile(), L"Files", L"Version"));
        EXPECT_EQ(c.recalledFrom, ReadProfile(RecordFile(), L"Update", L"RecalledFrom"));
    }
}

TEST_F(TrustedRelease, AReplayedDescriptionIsRefusedAfterTheHostRestarts)
{
    const struct {
        const char* name;
        Pin pin;
        Signer signer;
        const char* later;  // the serial the second process meets
        HRESULT result;
        ULONGLONG kept;     // the serial remembered afterwards
    } cases[] = {
        {"root: a lower serial", Pin::Root, Signer::Certified, "6", TRUST_E_SUBJECT_NOT_TRUSTED, 7},
        {"root: the same serial again", Pin::Root, Signer::Certified, "7", E_ABORT, 7},
        {"root: no serial at all", Pin::Root, Signer::Certified, "", TRUST_E_SUBJECT_NOT_TRUSTED, 7},
        {"key alone: a lower serial", Pin::Key, Signer::Direct, "6", TRUST_E_SUBJECT_NOT_TRUSTED, 7},
        {"key alone: a higher serial", Pin::Key, Signer::Direct, "8", E_ABORT, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        // The installed release is the one offered: each check ends without a dialog.
        Install("1.1", 4, c.pin);
        Section section;
        section.serial = "7";
        EXPECT_EQ(E_ABORT, CheckInNewProcess(Serve({section}, c.signer)));
        // Kept at the check that took it, even though it offered nothing.
        EXPECT_EQ(7u, ParseTrustMemory(Read(TrustFile())).highestSerial.value_or(0));
        section.serial = c.later;
        EXPECT_EQ(c.result, CheckInNewProcess(Serve({section}, c.signer)));
        EXPECT_EQ(c.kept, ParseTrustMemory(Read(TrustFile())).highestSerial.value_or(0));
    }
}

} // namespace
