// Whether the library may act on an update description. An installation whose
// record pins no publisher key and no root takes every description, as it
// always has; one with a pin acts only on a description that the chain rules
// take (verify/TrustChain.h): signed by a pinned key, or by a key that a
// pinned root certified, whose client section names when it expires, not
// before that time has come, and a serial no lower than the highest acted on,
// since anyone on the network path can answer the check.
#pragma once

#include "framework/AfxString.h"
#include "verify/TrustChain.h"

#include <string_view>

// What the check and the update run return for a description they refuse, so
// that a host can tell a forged or stale answer from "nothing new".
inline constexpr HRESULT kDescriptionRefused = TRUST_E_SUBJECT_NOT_TRUSTED;

// Writes the reason for a refusal to the library's trace.
void TraceDescriptionRefusal(LPCWSTR pszReason);

class CLocalUpdateInfo;
class CRemoteUpdateInfo;

// The verdict on a description's bytes, whose chosen section is loaded, for
// the installed record and what the installation remembers: nothing is acted
// on or kept (the publisher's tool judges an installation with it).
TrustVerdict JudgeDescriptionFor(std::string_view fileBytes, const CRemoteUpdateInfo& description,
                                 const CLocalUpdateInfo& local, const TrustMemory& memory);

// Whether the description in the file may be acted on for the installed
// record, judged on the section its client and channel read and on what the
// installation remembers (pszTrustFile, TrustFile.h). What the judgement
// learnt is remembered at once: the root statements that verify even when the
// description is refused, the serial once it is taken. A description that is
// refused is traced and deleted: nothing may act on it later.
bool TrustDescriptionFile(LPCWSTR pszPath, const CLocalUpdateInfo& local, LPCWSTR pszTrustFile);
