// The new keys of the installed record and of the client section, read as the
// rest of them are read (the profile reader), for the chain rules and the
// release choice.
//
//   record [Files] "PublisherRoot"   one or more root keys, "," between them
//   record [Files] "Channel"         the installation's channel; empty for the default
//   client "Serial", "Rollout", "Recall"
#pragma once

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "verify/TrustChain.h"

TrustPins ReadTrustPins(const CLocalUpdateInfo& record);

// The section the client's installations of the channel read (ChooseClientSection):
// the channel's own when the description offers a version there.
CString ChosenSectionOf(const CRemoteUpdateInfo& description, const CString& client, const CString& channel);

// Loads the section that the record's client and channel read.
void LoadChosenSection(CRemoteUpdateInfo& description, const CLocalUpdateInfo& record);

// Of the section loaded.
ClientTrustFacts ReadClientTrustFacts(const CRemoteUpdateInfo& description);
CString ReadRollout(const CRemoteUpdateInfo& description);
CString ReadRecall(const CRemoteUpdateInfo& description);
