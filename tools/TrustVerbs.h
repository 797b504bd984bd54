// The trust chain in the publisher's hands. The root key stays offline and
// works on the chain file alone: it certifies the signing key, revokes
// certificates and rotates to a new root there. The chain file is the
// [Trust] section that every description signed under it carries, with
// "Root", the current root, besides (the file's own; no description carries
// it). "sign --chain" copies the statements into a description; "verify
// --root" judges the whole chain as the library does.
#pragma once

#include "Arguments.h"
#include "KeyFile.h"

#include "verify/TrustChain.h"

#include <string>
#include <string_view>

int Certify(CArguments& args);
int Revoke(CArguments& args);
int Rotate(CArguments& args);

// The description with the chain file's statements as its [Trust] section,
// once they are found to certify the signing key for descriptions, now.
std::string WithChain(std::string_view description, const std::wstring& chainFile, const P256PrivateKey& signingKey,
                      CertificateStatement& certificate);

// What verify shows of a verdict that took the description: who signed, the
// rotations followed and the revocations seen.
std::wstring DescribeSigner(const TrustVerdict& verdict);

// The next "Serial" for a description file: above every one it holds, and
// never below the time now written as YYYYMMDDHHMMSS, so that a publisher who
// lost the file still goes up.
ULONGLONG NextSerial(std::string_view description);
