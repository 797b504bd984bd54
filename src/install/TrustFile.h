// What the installation learnt of its publisher's keys (verify/TrustMemory.h),
// kept in update.trust in the update folder: read at every judgement of a
// description, and written whole under a named mutex, joined with what the
// file holds at that moment, so that two processes never lose what the other
// learnt (a revocation, a rotation, a serial).
#pragma once

#include "description/ReleaseControl.h"
#include "framework/AfxString.h"
#include "verify/TrustMemory.h"

// update.trust in the update folder (not made on the way).
CString TrustFilePath();

// The file's memory; empty when there is none or it cannot be read.
TrustMemory ReadTrustFile(LPCWSTR pszPath);

// Joins learnt with the file's current contents (MergeTrustMemory) and, when
// that differs from them, writes the result whole: a temporary file beside it,
// then one replace. pKept (when given) receives what the file holds afterwards.
// False when the mutex or the write failed; the file is then as it was.
bool RememberTrust(LPCWSTR pszPath, const TrustMemory& learnt, TrustMemory* pKept = nullptr);

// The installation's rollout bucket: the one kept in the file, else one drawn
// now and kept. One that cannot be kept is the last bucket, which only a whole
// rollout reaches: drawn anew at every check, a bucket would reach every
// installation after a few checks.
UINT KeptRolloutBucket(LPCWSTR pszPath);

// Whether the section's Rollout lets a check of kind offer its release to this
// installation (RolloutOffers); the bucket is read, or drawn, only when it matters.
bool RolloutReachesInstallation(const CString& strRollout, ECheckKind kind, LPCWSTR pszTrustFile);
