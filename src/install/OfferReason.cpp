#include "install/OfferReason.h"

#include "description/VersionNumber.h"

namespace {

CString Number(UINT n)
{
    CString text;
    text.Format(L"%u", n);
    return text;
}

} // namespace

CString OfferVerdictReason(const COfferFacts& facts, EOfferVerdict verdict)
{
    const CString compared = L"offered " + facts.strOfferedVersion + L" service pack " +
                             Number(facts.nOfferedPack) + L", installed " + facts.strInstalledVersion +
                             L" service pack " + Number(facts.nInstalledPack) + L": ";
    const CVersionNumber installed = ParseVersion(facts.strInstalledVersion);
    const CVersionNumber offered = ParseVersion(facts.strOfferedVersion);
    switch (verdict) {
    case EOfferVerdict::NotNewer:
        if (installed.IsGreaterThan(offered))
            return compared + L"not offered, the offered version is older";
        if (installed.IsLessThan(offered))
            return compared + L"not offered, a newer version must raise the service pack too";
        return compared + L"not offered, the same version needs a higher service pack";
    case EOfferVerdict::Applies:
        return compared + L"offered";
    case EOfferVerdict::Elsewhere:
        return compared + L"newer, but CanUpdate is 0: only its tips and download page";
    case EOfferVerdict::TooOld:
        return compared + L"the installed version is below ValidVersion " + facts.strValidVersion +
               L": only its tips";
    case EOfferVerdict::Refused:
        break;
    }
    return compared + L"refused";
}
