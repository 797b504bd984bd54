#include "ReleaseRecord.h"

#include "ReleaseHealth.h"

#include "base/Decimal.h"
#include "base/LinkSafeFiles.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

namespace {

std::wstring ReadUpdateValue(const std::wstring& record, const wchar_t* key)
{
    wchar_t value[256] = {};
    const DWORD length =
        ::GetPrivateProfileStringW(kRecordUpdateSection, key, L"", value, ARRAYSIZE(value), record.c_str());
    return std::wstring(value, length);
}

} // namespace

bool ReadConfirmDeadline(const std::wstring& programFolder, DWORD& seconds)
{
    const std::wstring text = ReadUpdateValue(UpdateFileIn(programFolder, kRecordFileName), kConfirmWithinKey);
    ULONGLONG value = 0;
    if (!ParseStrictDecimal(text, value, 9) || value == 0)
        return false;
    seconds = static_cast<DWORD>(value < kLongestDeadlineSeconds ? value : kLongestDeadlineSeconds);
    return true;
}

void RecordRolledBack(const std::wstring& programFolder)
{
    const std::wstring record = UpdateFileIn(programFolder, kRecordFileName);
    const std::wstring version = ReadUpdateValue(record, kOfferedVersionKey);
    UpdateLog(L"rollback: version ", version.empty() ? std::wstring(L"(unnamed)") : version, L" recorded as rolled back");
    // The profile writer follows a link: the record is written only where it really is.
    if (!version.empty() && !IsNothingOrPlainFileAt(record))
        UpdateLog(L"rollback: not recorded, ", record, L" is a link or reached through one");
    else if (!version.empty())
        ::WritePrivateProfileStringW(kRecordUpdateSection, kRolledBackKey, version.c_str(), record.c_str());
    RemoveFileAt(UpdateFileIn(programFolder, kDescriptionFileName));
    RemoveFileAt(UpdateFileIn(programFolder, kPackageFileName));
}
