#include "verify/TrustStatement.h"

#include "verify/Base64.h"
#include "verify/Expires.h"
#include "verify/ProfileSection.h"
#include "verify/TrustKey.h"

const char kDescriptionPurpose[] = "description";
const char kTrustSection[] = "Trust";
const char kCertificateKey[] = "Certificate";
const char kRevocationKey[] = "Revocation";
const char kRotationKeyStem[] = "Rotation";

namespace {

const char kCertificateKind[] = "certificate/1";
const char kRevocationKind[] = "revocation/1";
const char kRotationKind[] = "rotation/1";

// Longer than any P-256 key's text: what is beyond it is refused unread.
const size_t kMaxKeyText = 256;

// The fields after the kind, each "name=value", in the order of names; false
// for any other text (another kind, a field missing, added, moved or empty).
bool SplitFields(std::string_view text, const char* kind, const std::vector<const char*>& names,
                 std::vector<std::string_view>& values)
{
    const std::string_view prefix(kind);
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    values.clear();
    for (const char* name : names) {
        const std::string field = std::string(" ") + name + "=";
        if (text.substr(0, field.size()) != field)
            return false;
        text.remove_prefix(field.size());
        const std::string_view value = text.substr(0, text.find(' '));
        if (value.empty())
            return false;
        values.push_back(value);
        text.remove_prefix(value.size());
    }
    return text.empty();
}

bool IsKeyText(std::string_view text)
{
    return text.size() <= kMaxKeyText && IsCanonicalBase64(text);
}

bool IsPurpose(std::string_view text)
{
    if (text.empty() || text.size() > 32)
        return false;
    for (char ch : text) {
        if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-'))
            return false;
    }
    return true;
}

} // namespace

std::string RotationKey(size_t n)
{
    return kRotationKeyStem + std::to_string(n);
}

bool IsRotationKey(std::string_view key)
{
    const std::string_view stem(kRotationKeyStem);
    if (key.size() <= stem.size() || !EqualsAsciiNoCase(key.substr(0, stem.size()), stem))
        return false;
    return key.find_first_not_of("0123456789", stem.size()) == std::string_view::npos;
}

std::string SignatureKeyOf(std::string_view key)
{
    return std::string(key) + "Signature";
}

bool IsTrustIdentifier(std::string_view id)
{
    if (id.empty() || id.size() > 64)
        return false;
    for (char ch : id) {
        if (!((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '.' ||
              ch == '_' || ch == '-'))
            return false;
    }
    return true;
}

bool SameTrustIdentifier(std::string_view a, std::string_view b)
{
    return EqualsAsciiNoCase(a, b);
}

bool ContainsTrustIdentifier(const std::vector<std::string>& ids, std::string_view id)
{
    for (const std::string& known : ids) {
        if (SameTrustIdentifier(known, id))
            return true;
    }
    return false;
}

bool ParseCertificate(std::string_view text, CertificateStatement& statement)
{
    std::vector<std::string_view> values;
    if (!SplitFields(text, kCertificateKind, {"purpose", "id", "until", "key"}, values))
        return false;
    CertificateStatement parsed;
    parsed.purpose = values[0];
    parsed.id = values[1];
    parsed.until = values[2];
    parsed.key = values[3];
    if (!IsPurpose(parsed.purpose) || !IsTrustIdentifier(parsed.id) || !IsKeyText(parsed.key) ||
        !ParseExpires(WidenAscii(parsed.until), parsed.untilTicks))
        return false;
    statement = parsed;
    return true;
}

bool ParseRevocation(std::string_view text, RevocationStatement& statement)
{
    std::vector<std::string_view> values;
    if (!SplitFields(text, kRevocationKind, {"revoked"}, values))
        return false;
    RevocationStatement parsed;
    std::string_view list = values[0];
    for (;;) {
        const std::string_view id = list.substr(0, list.find(','));
        if (!IsTrustIdentifier(id) || parsed.ids.size() == kMaxRevokedIds)
            return false;
        parsed.ids.emplace_back(id);
        if (id.size() == list.size())
            break;
        list.remove_prefix(id.size() + 1);
    }
    statement = parsed;
    return true;
}

bool ParseRotation(std::string_view text, RotationStatement& statement)
{
    std::vector<std::string_view> values;
    if (!SplitFields(text, kRotationKind, {"from", "to"}, values) || !IsKeyText(values[0]) || !IsKeyText(values[1]))
        return false;
    statement.from = values[0];
    statement.to = values[1];
    return true;
}

std::string FormatCertificate(const CertificateStatement& statement)
{
    return std::string(kCertificateKind) + " purpose=" + statement.purpose + " id=" + statement.id +
           " until=" + statement.until + " key=" + statement.key;
}

std::string FormatRevocation(const RevocationStatement& statement)
{
    std::string text = std::string(kRevocationKind) + " revoked=";
    for (size_t i = 0; i < statement.ids.size(); ++i)
        text += (i ? "," : "") + statement.ids[i];
    return text;
}

std::string FormatRotation(const RotationStatement& statement)
{
    return std::string(kRotationKind) + " from=" + statement.from + " to=" + statement.to;
}
