// What the delta tests serve: files read whole, and a description offering a
// full package and a delta for installations of 1.0.
#pragma once

#include "base/Sha256.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Sha256HexOf(const std::string& bytes)
{
    Sha256Digest digest;
    Sha256Of(bytes.data(), bytes.size(), digest);
    const std::wstring hex = FormatSha256Hex(digest);
    return std::string(hex.begin(), hex.end());
}

// Version 1.1, service pack 1, for the client's section.
inline std::string DeltaOfferDescription(const std::string& client, const std::string& fullUrl, const std::string& full,
                                         const std::string& deltaUrl, const std::string& delta)
{
    return "[OEMClient_" + client + "]\r\nMajorVerson=1.1\r\nServicePack=1\r\nCanUpdate=1\r\nURL=" + fullUrl +
           "\r\nCABFileSize=" + std::to_string(full.size()) + "\r\nCABFileSHA256=" + Sha256HexOf(full) +
           "\r\nDeltaFrom=1.0\r\nDeltaURL=" + deltaUrl + "\r\nDeltaCABFileSize=" + std::to_string(delta.size()) +
           "\r\nDeltaCABFileSHA256=" + Sha256HexOf(delta) + "\r\n";
}

} // namespace testing_support
