#include "install/OfferAnalysis.h"

#include "base/Sha256.h"

#include "description/LocalUpdateInfo.h"
#include "description/ReleaseControl.h"
#include "description/RemoteUpdateInfo.h"
#include "description/TrustRecord.h"
#include "description/VersionNumber.h"
#include "framework/AfxUserEffects.h"
#include "framework/AfxWin.h"
#include "install/DescriptionSafety.h"
#include "install/DescriptionTrust.h"

EOfferVerdict JudgeOffer(const COfferFacts& facts)
{
    const CVersionNumber minimum = ParseVersion(facts.strValidVersion);
    // The same release would crash again; a newer one is offered as usual.
    if (!facts.strRolledBackVersion.IsEmpty()) {
        const CVersionNumber rolledBack = ParseVersion(facts.strRolledBackVersion);
        const CVersionNumber offered = ParseVersion(facts.strOfferedVersion);
        if (!rolledBack.IsLessThan(offered) && !rolledBack.IsGreaterThan(offered))
            return EOfferVerdict::NotNewer;
    }
    // The one signed exception to "never downgrade": whatever the packs say,
    // the recalled version goes back as an upgrade would.
    if (facts.bRecalled) {
        if (facts.nCanUpdate == 0)
            return EOfferVerdict::Elsewhere;
        return !minimum.IsZero() && ParseVersion(facts.strInstalledVersion).IsLessThan(minimum) ? EOfferVerdict::TooOld
                                                                                              : EOfferVerdict::Applies;
    }
    const bool bNewerPack = facts.nInstalledPack < facts.nOfferedPack;
    if (facts.strInstalledVersion == facts.strOfferedVersion && !bNewerPack)
        return EOfferVerdict::NotNewer;
    const CVersionNumber installed = ParseVersion(facts.strInstalledVersion);
    const CVersionNumber offered = ParseVersion(facts.strOfferedVersion);
    if (installed.IsGreaterThan(offered))
        return EOfferVerdict::NotNewer;
    if (installed.IsLessThan(offered)) {
        if (!bNewerPack)
            return EOfferVerdict::NotNewer;
        if (facts.nCanUpdate == 0)
            return EOfferVerdict::Elsewhere;
    }
    if (!minimum.IsZero() && installed.IsLessThan(minimum))
        return EOfferVerdict::TooOld;
    return EOfferVerdict::Applies;
}

COfferEffects EffectsOfVerdict(EOfferVerdict verdict, bool bHasTips)
{
    COfferEffects effects;
    switch (verdict) {
    case EOfferVerdict::NotNewer:
    case EOfferVerdict::Refused:
        break;
    case EOfferVerdict::Elsewhere:
        effects.bShowTips = bHasTips;
        effects.bOpenDownloadPage = bHasTips;
        break;
    case EOfferVerdict::TooOld:
        effects.bShowTips = true;  // even an empty text: the user learns that nothing will come
        break;
    case EOfferVerdict::Applies:
        effects.bRecordOffer = true;
        break;
    }
    return effects;
}

COfferEffects operator|(const COfferEffects& a, const COfferEffects& b)
{
    COfferEffects effects;
    effects.bShowTips = a.bShowTips || b.bShowTips;
    effects.bOpenDownloadPage = a.bOpenDownloadPage || b.bOpenDownloadPage;
    effects.bRecordOffer = a.bRecordOffer || b.bRecordOffer;
    return effects;
}

COfferFacts OfferFactsOf(const CLocalUpdateInfo& local, const CRemoteUpdateInfo& offered, bool bProfessional)
{
    COfferFacts facts;
    facts.strInstalledVersion = local.m_strVersion;
    facts.nInstalledPack = bProfessional ? local.m_nServiceProPack : local.m_nServicePack;
    facts.strOfferedVersion = offered.m_strVersion;
    facts.nOfferedPack = bProfessional ? offered.m_nServiceProPack : offered.m_nServicePack;
    facts.nCanUpdate = offered.m_nCanUpdate;
    facts.strValidVersion = offered.m_strValidVersion;
    facts.strRolledBackVersion = local.m_strRolledBack;
    // The description was judged already: with a pin, it is signed.
    facts.bRecalled = IsRecalled(local.m_strVersion, offered.m_strVersion, ReadRecall(offered), local.PinsPublisher());
    return facts;
}

EOfferVerdict JudgeOfferFor(const CLocalUpdateInfo& local, const CRemoteUpdateInfo& offered, bool bProfessional)
{
    const EOfferVerdict verdict = JudgeOffer(OfferFactsOf(local, offered, bProfessional));
    // A publisher who signs names the package's digest too; without one the
    // offer could never be installed, and is refused before anyone sees it.
    Sha256Digest digest = {};
    if (verdict == EOfferVerdict::Applies && local.PinsPublisher() &&
        !ParseSha256Hex(offered.GetPackageDigest(bProfessional).Str(), digest)) {
        TraceDescriptionRefusal(L"the offered package has no valid digest");
        return EOfferVerdict::Refused;
    }
    return verdict;
}

void CarryOutOffer(const COfferEffects& effects, const CRemoteUpdateInfo& offered, CLocalUpdateInfo& local)
{
    if (effects.bShowTips)
        AfxMessageBox(offered.GetTips(), MB_OK);
    // The description can be altered on the way: only a web page may reach the
    // shell, never a program, a document or a share that a tampered copy names.
    if (effects.bOpenDownloadPage && IsWebAddress(offered.m_strDownloadURL))
        AfxGetUserEffects().OpenDocument(offered.m_strDownloadURL);
    if (effects.bRecordOffer)
        local.WriteUpdate(&offered);
}
