// Whether an offered update applies to the installed copy: the decision alone,
// apart from the files it is read from and the messages it leads to.
#pragma once

#include "framework/AfxString.h"

struct COfferFacts {
    CString strInstalledVersion;
    UINT nInstalledPack = 0;
    CString strOfferedVersion;
    UINT nOfferedPack = 0;
    int nCanUpdate = 0;
    CString strValidVersion;
    // A signed recall names the installed version (IsRecalled): the older offer counts as newer.
    bool bRecalled = false;
    // A version the launcher put back because it did not start here: never offered again.
    CString strRolledBackVersion;
};

enum class EOfferVerdict {
    NotNewer,    // nothing to do
    Applies,     // this library installs it
    Elsewhere,   // a newer version that this library may not install: tips, then the download page
    TooOld,      // the installed version is below the package's minimum: tips
    Refused,     // the description may not be acted on (the installed record pins a publisher key or root)
};

EOfferVerdict JudgeOffer(const COfferFacts& facts);

// What a verdict makes the library do besides answering.
struct COfferEffects {
    bool bShowTips = false;          // the description's "Tips" in a message box
    bool bOpenDownloadPage = false;  // then its "DownloadURL", when that is a web page
    bool bRecordOffer = false;       // [Update] of the installed record names the offer
};

COfferEffects EffectsOfVerdict(EOfferVerdict verdict, bool bHasTips);

// The effects of several judgements of one check, each carried out at most once.
COfferEffects operator|(const COfferEffects& a, const COfferEffects& b);

class CLocalUpdateInfo;
class CRemoteUpdateInfo;

// The facts of an offer whose client section is loaded, for the edition.
COfferFacts OfferFactsOf(const CLocalUpdateInfo& local, const CRemoteUpdateInfo& offered, bool bProfessional);

// JudgeOffer of those facts; Refused, with the reason in the trace, when the
// record pins a publisher key or root and the offer that applies has no valid digest.
EOfferVerdict JudgeOfferFor(const CLocalUpdateInfo& local, const CRemoteUpdateInfo& offered, bool bProfessional);

// The one place where an offer's message box, browser launch and record write happen.
void CarryOutOffer(const COfferEffects& effects, const CRemoteUpdateInfo& offered, CLocalUpdateInfo& local);
