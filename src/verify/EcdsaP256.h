// ECDSA over the curve P-256 with SHA-256: publisher keys as the installed
// record holds them, and signatures in the DER form that openssl writes.
#pragma once

#include "base/CngHandle.h"
#include "base/Sha256.h"

#include <array>
#include <string_view>
#include <vector>

// A signature as the platform takes it: r then s, each 32 bytes big-endian.
using EcdsaP256Signature = std::array<BYTE, 64>;

enum class PublicKeyImport { Imported, BadText, NotP256 };

// One key of "PublisherKey": the base64 of a DER SubjectPublicKeyInfo. NotP256
// for a key of another kind or curve (RSA, P-384); BadText for text that is
// not base64 of exactly one such structure.
PublicKeyImport ImportP256PublicKey(std::wstring_view base64, CKeyHandle& key);

// The DER SubjectPublicKeyInfo of the uncompressed point x || y (64 bytes).
std::vector<BYTE> EncodeP256PublicKeyInfo(const BYTE* xy);

// A DER ECDSA-Sig-Value into r || s; false unless the bytes are exactly one
// such value with r and s that fit 32 bytes.
bool DecodeEcdsaSignature(const BYTE* pDer, size_t nSize, EcdsaP256Signature& signature);

// r || s as a DER ECDSA-Sig-Value.
std::vector<BYTE> EncodeEcdsaSignature(const EcdsaP256Signature& signature);

bool VerifyP256(const CKeyHandle& key, const Sha256Digest& digest, const EcdsaP256Signature& signature);
