// Which release an installation is offered: its channel's section, a staged
// rollout and a recall, all values of the description under its signature. A
// description without them offers as it always has.
//
//   [OEMClient_<client>]            the default channel: a record without "Channel"
//   [OEMClient_<client>@<channel>]  a channel's release; a channel without one takes the default's
//   Rollout=<percent>               0 to 100, up to two decimals: the share of installations
//                                   a silent check offers the release to; 0 halts it for every check
//   Recall=<version>,...            recalled versions: an installation at one is offered
//                                   the section's release although it is older
#pragma once

#include "description/VersionNumber.h"
#include "framework/AfxString.h"

#include <vector>

enum class ECheckKind {
    Silent,       // IsAutoUpdate, or /s: out of the person's sight
    Interactive,  // a check the person started
};

// 1 to 32 of A-Z a-z 0-9 - _, the channel part of a section name.
bool IsChannelName(const CString& channel);

// "OEMClient_<client>", or with "@<channel>" for a channel.
CString ClientSectionName(const CString& client, const CString& channel);

// The section an installation of the channel reads: its channel's when the
// description has one (bChannelSectionExists), else the default.
CString ChooseClientSection(const CString& client, const CString& channel, bool bChannelSectionExists);

// "Rollout" in hundredths of a percent (0 to 10,000); false for any other text.
bool ParseRolloutPercent(const CString& text, UINT& nHundredths);

// Whether a check of kind offers the release to the installation with this
// bucket (0 to 9,999). No "Rollout" offers it to all. A person's own check
// takes every rollout, a silent one only a bucket below the share. 0 halts
// the release for everyone, and so does a value that does not read: a
// publisher who meant to hold a release back is better read as halting it.
bool RolloutOffers(const CString& rolloutText, UINT nBucket, ECheckKind kind);

// A bucket from the platform's strong generator, every one as likely; false
// when the platform has none to give.
bool DrawRolloutBucket(UINT& nBucket);

// "Recall": versions of one to four dot-separated numbers, "," between them;
// false for any other text.
bool ParseRecallList(const CString& text, std::vector<CVersionNumber>& versions);

// The one signed exception to "never downgrade": true when a signed
// description recalls the installed version and offers an older one.
bool IsRecalled(const CString& installedVersion, const CString& offeredVersion, const CString& recallText,
                bool bSignedDescription);
