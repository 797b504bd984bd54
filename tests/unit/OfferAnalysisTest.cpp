#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "install/FileManager.h"
#include "install/OfferAnalysis.h"
#include "unit/RecordingEffects.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

const char* VerdictName(EOfferVerdict v)
{
    switch (v) {
    case EOfferVerdict::NotNewer: return "NotNewer";
    case EOfferVerdict::Applies: return "Applies";
    case EOfferVerdict::Elsewhere: return "Elsewhere";
    case EOfferVerdict::TooOld: return "TooOld";
    case EOfferVerdict::Refused: return "Refused";
    }
    return "?";
}

TEST(OfferVerdict, FollowsVersionsPacksAndMinimum)
{
    const struct {
        LPCWSTR installed;
        UINT installedPack;
        LPCWSTR offered;
        UINT offeredPack;
        int canUpdate;
        LPCWSTR valid;
        EOfferVerdict verdict;
        bool recalled = false;  // a signed recall names the installed version
        LPCWSTR rolledBack = L"";  // a version the launcher put back here
    } cases[] = {
        {L"1.0.0.0", 3, L"1.0.0.0", 3, 1, L"", EOfferVerdict::NotNewer},
        {L"1.0.0.0", 3, L"1.0.0.0", 4, 0, L"", EOfferVerdict::Applies},  // a service pack ignores CanUpdate
        {L"1.0.0.0", 4, L"1.0.0.0", 3, 1, L"", EOfferVerdict::NotNewer},
        {L"2.0", 1, L"1.9", 9, 1, L"", EOfferVerdict::NotNewer},
        {L"1.0", 5, L"2.0", 5, 1, L"", EOfferVerdict::NotNewer},  // a new version needs a new pack too
        {L"1.0", 5, L"2.0", 6, 1, L"", EOfferVerdict::Applies},
        {L"1.0", 5, L"2.0", 6, 0, L"", EOfferVerdict::Elsewhere},
        {L"1.9", 1, L"1.10", 2, 1, L"", EOfferVerdict::Applies},  // parts compare as numbers
        {L"1.0", 9, L"1.0.0.0", 1, 0, L"", EOfferVerdict::Applies},  // equal numbers, different texts
        {L"1.0", 9, L"1.0.0.0", 1, 0, L"1.1", EOfferVerdict::TooOld},
        {L"2.5", 1, L"2.5", 2, 1, L"3.0", EOfferVerdict::TooOld},
        {L"2.5", 1, L"3.0", 2, 1, L"3.0", EOfferVerdict::TooOld},
        {L"2.5", 1, L"3.0", 2, 1, L"2.5", EOfferVerdict::Applies},
        {L"2.5", 1, L"2.5", 2, 1, L"0.0.0.0", EOfferVerdict::Applies},
        {L"", 0, L"", 0, 1, L"", EOfferVerdict::NotNewer},  // an error page offers nothing
        {L"", 0, L"1.0", 1, 1, L"", EOfferVerdict::Applies},
        // Packs compare unsigned: 4294967295 stays the highest.
        {L"1.0", 0xFFFFFFFFu, L"1.0", 1, 1, L"", EOfferVerdict::NotNewer},
        {L"1.0", 1, L"1.0", 0xFFFFFFFFu, 1, L"", EOfferVerdict::Applies},
        // A recall goes back whatever the versions and packs say, but still
        // as CanUpdate and the package's minimum allow.
        {L"2.1", 5, L"2.0.3", 3, 1, L"", EOfferVerdict::Applies, true},
        {L"2.1", 5, L"2.0.3", 3, 0, L"", EOfferVerdict::Elsewhere, true},
        {L"2.1", 5, L"2.0.3", 3, 1, L"2.1", EOfferVerdict::Applies, true},
        {L"2.1", 5, L"2.0.3", 3, 1, L"2.1.1", EOfferVerdict::TooOld, true},
        // A version that did not start here is not offered again, under any
        // text of its number, nor by a recall; any other version is.
        {L"1.0", 1, L"1.1", 2, 1, L"", EOfferVerdict::NotNewer, false, L"1.1"},
        {L"1.0", 1, L"1.1.0.0", 2, 1, L"", EOfferVerdict::NotNewer, false, L"1.1"},
        {L"2.1", 5, L"2.0.3", 3, 1, L"", EOfferVerdict::NotNewer, true, L"2.0.3"},
        {L"1.0", 1, L"1.2", 2, 1, L"", EOfferVerdict::Applies, false, L"1.1"},
        {L"1.0", 1, L"1.1", 2, 1, L"", EOfferVerdict::Applies, false, L"1.2"},
    };
    for (const auto& c : cases) {
        COfferFacts facts;
        facts.strInstalledVersion = c.installed;
        facts.nInstalledPack = c.installedPack;
        facts.strOfferedVersion = c.offered;
        facts.nOfferedPack = c.offeredPack;
        facts.nCanUpdate = c.canUpdate;
        facts.strValidVersion = c.valid;
        facts.bRecalled = c.recalled;
        facts.strRolledBackVersion = c.rolledBack;
        EXPECT_STREQ(VerdictName(c.verdict), VerdictName(JudgeOffer(facts)))
            << c.installed << " sp" << c.installedPack << " -> " << c.offered << " sp" << c.offeredPack
            << " can " << c.canUpdate << " min " << c.valid;
    }
}

class OfferAnalysis : public UpdateFilesTest {
protected:
    void Install(const std::string& files)
    {
        WriteBytes(UpdateFile(L"update.log"), "[Files]\r\n" + files);
        m_manager.LoadLocalInfo();
    }

    void Offer(const std::string& section)
    {
        WriteBytes(UpdateFile(L"update.ini"), "[OEMClient_Acme]\r\n" + section);
        m_manager.m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(UpdateFile(L"update.ini").c_str());
    }

    CString Recorded(LPCWSTR key) const
    {
        return CUpdateInfo(UpdateFile(L"update.log").c_str()).ReadString(L"Update", key);
    }

    CFileManager m_manager;
};

TEST_F(OfferAnalysis, AnApplyingOfferIsRecorded)
{
    Install("Version=1.0.0.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=1.0.0.0\r\nServicePack=4\r\nUpdateInfo=line one+line two\r\n");
    EXPECT_EQ(1, m_manager.Analyse(false));
    EXPECT_STREQ(L"1.0.0.0", Recorded(L"Version"));
    EXPECT_STREQ(L"line one+line two", Recorded(L"Info"));
    EXPECT_TRUE(Effects().messages.empty());
}

TEST_F(OfferAnalysis, ARolledBackVersionIsNotOfferedAgainButANewerOneIs)
{
    Install("Version=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n[Update]\r\nVersion=1.1\r\nRolledBack=1.1\r\n");
    Offer("MajorVerson=1.1\r\nServicePack=4\r\nCanUpdate=1\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));
    Offer("MajorVerson=1.2\r\nServicePack=5\r\nCanUpdate=1\r\n");
    EXPECT_EQ(1, m_manager.Analyse(false));
}

TEST_F(OfferAnalysis, NothingNewWritesNothing)
{
    Install("Version=1.0.0.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=1.0.0.0\r\nServicePack=3\r\nUpdateInfo=news\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));
    EXPECT_STREQ(L"", Recorded(L"Version"));
}

TEST_F(OfferAnalysis, NeedsBothRecordsAndAClient)
{
    Offer("MajorVerson=2.0\r\nServicePack=4\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));  // no installed record
    Install("Version=1.0\r\nServicePack=3\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));  // no client name
    EXPECT_STREQ(L"", m_manager.m_pRemoteInfo->m_strSection);  // the section was never loaded
    m_manager.m_pRemoteInfo.reset();
    Install("Version=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));  // no offer
}

TEST_F(OfferAnalysis, ReadsTheDescriptionAndEditionAfreshOnEveryCall)
{
    Install("Version=1.0\r\nServicePack=3\r\nServiceProPack=3\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=1.0\r\nServicePack=3\r\nServiceProPack=4\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));
    EXPECT_EQ(1, m_manager.Analyse(true));  // the professional pair, in the standard edition
    EXPECT_EQ(0, m_manager.m_bIsProUpdate);

    WriteBytes(AmbrelIniPath(), "[Config]\r\nIsProUpdate=1\r\n");
    EXPECT_EQ(1, m_manager.Analyse(false));
    EXPECT_EQ(1, m_manager.m_bIsProUpdate);

    Offer("MajorVerson=1.0\r\nServicePack=3\r\nServiceProPack=3\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));
}

TEST_F(OfferAnalysis, AnOfferForElsewhereShowsTipsThenOpensOnlyAWebPage)
{
    const struct {
        const char* tips;
        const char* downloadUrl;
        bool shown;
        LPCWSTR opened;  // null: nothing opened
    } cases[] = {
        {"Get it from the site", "http://example.com/get", true, L"http://example.com/get"},
        {"Get it from the site", "HTTPS://example.com/get?a=1", true, L"HTTPS://example.com/get?a=1"},
        {"Get it from the site", "", true, nullptr},
        {"", "http://example.com/get", false, nullptr},
        // A tampered description must not reach the shell with anything but a web page.
        {"Tips", "C:\\Windows\\System32\\calc.exe", true, nullptr},
        {"Tips", "file:///C:/Windows/System32/calc.exe", true, nullptr},
        {"Tips", "\\\\server\\share\\setup.exe", true, nullptr},
        {"Tips", "calc", true, nullptr},
        {"Tips", "javascript:alert(1)", true, nullptr},
    };
    Install("Version=1.0\r\nServicePack=3\r\nOEMClientName=Acme\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.downloadUrl);
        Effects().Clear();
        Offer(std::string("MajorVerson=2.0\r\nServicePack=4\r\nCanUpdate=0\r\nTips=") + c.tips +
              "\r\nDownloadURL=" + c.downloadUrl + "\r\n");
        EXPECT_EQ(0, m_manager.Analyse(false));
        ASSERT_EQ(c.shown ? 1u : 0u, Effects().messages.size());
        if (c.shown) {
            EXPECT_EQ(Widen(c.tips), Effects().messages[0].text);
            EXPECT_EQ(static_cast<UINT>(MB_OK), Effects().messages[0].type & 0xF);
        }
        ASSERT_EQ(c.opened ? 1u : 0u, Effects().opened.size());
        if (c.opened) {
            EXPECT_EQ(std::wstring(c.opened), Effects().opened[0]);
        }
        EXPECT_STREQ(L"", Recorded(L"Version"));
    }
}

TEST_F(OfferAnalysis, AnInstalledVersionBelowTheMinimumShowsTheTipsEvenEmpty)
{
    Install("Version=2.5\r\nServicePack=1\r\nOEMClientName=Acme\r\n");
    Offer("MajorVerson=2.5\r\nServicePack=2\r\nValidVersion=3.0\r\nTips=Update to 3.0 first\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));
    ASSERT_EQ(1u, Effects().messages.size());
    EXPECT_EQ(L"Update to 3.0 first", Effects().messages[0].text);

    Effects().Clear();
    Offer("MajorVerson=2.5\r\nServicePack=2\r\nValidVersion=3.0\r\n");
    EXPECT_EQ(0, m_manager.Analyse(false));
    ASSERT_EQ(1u, Effects().messages.size());
    EXPECT_EQ(L"", Effects().messages[0].text);
    EXPECT_TRUE(Effects().opened.empty());
}

TEST_F(OfferAnalysis, TextsComeFromTheOfferElseFromTheRecord)
{
    CString out(L"untouched");
    m_manager.GetUpdateDescription(out);
    m_manager.GetUpdateVersion(out);
    EXPECT_STREQ(L"untouched", out);

    Install("OEMClientName=Acme\r\n[Update]\r\nVersion=0.9\r\nInfo=old one+old two\r\n"
            "[Dialog]\r\nUpdateTitle=Acme Update\r\n");
    m_manager.GetUpdateDescription(out);
    EXPECT_STREQ(L"old one\r\nold two", out);
    m_manager.GetUpdateVersion(out);
    EXPECT_STREQ(L"0.9", out);

    Offer("MajorVerson=1.1\r\nShortDesc=short\r\nLongDesc=long\r\n");
    m_manager.m_pRemoteInfo->LoadClient(L"Acme");
    m_manager.GetUpdateDescription(out);
    EXPECT_STREQ(L"short\r\nlong", out);
    m_manager.GetUpdateVersion(out);
    EXPECT_STREQ(L"1.1", out);

    Offer("MajorVerson=1.1\r\nUpdateInfo=new+news\r\nShortDesc=short\r\n");
    m_manager.m_pRemoteInfo->LoadClient(L"Acme");
    m_manager.GetUpdateDescription(out);
    EXPECT_STREQ(L"new\r\nnews", out);
}

TEST_F(OfferAnalysis, TitleLoadsTheRecordWhenNoneIsLoaded)
{
    WriteBytes(UpdateFile(L"update.log"), "[Dialog]\r\nUpdateTitle=Acme Update\r\n");
    CString out(L"untouched");
    m_manager.GetUpdateTitle(out);
    EXPECT_STREQ(L"Acme Update", out);
    ASSERT_TRUE(m_manager.m_pLocalInfo);
}

} // namespace
