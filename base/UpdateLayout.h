// The update folder and its files: every name the library, the launcher and
// the publisher's tool give them, in one place. The library keeps the folder
// beside its own module, which is the program folder; the launcher, beside
// update.dll, finds it in its own.
#pragma once

#include <string>

// In the program folder.
inline constexpr wchar_t kUpdateFolderName[] = L"update";
inline constexpr wchar_t kJournalFileName[] = L"update.journal";  // the launcher's swap journal
// The launcher unpacks here, and keeps the files a swap replaced there: beside
// the journal, where only those who may change the program can write, so that
// nobody changes what it checked before it moves it in or back.
inline constexpr wchar_t kStagingFolderName[] = L"update.staging";
inline constexpr wchar_t kBackupFolderName[] = L"update.backup";

// In the update folder.
inline constexpr wchar_t kRecordFileName[] = L"update.log";       // the installed record
inline constexpr wchar_t kDescriptionFileName[] = L"update.ini";  // the fetched description
inline constexpr wchar_t kTrustFileName[] = L"update.trust";      // what the installation learnt of its publisher's keys
inline constexpr wchar_t kPackageFileName[] = L"update.cab";      // the fetched package
inline constexpr wchar_t kOldJournalFileName[] = L"swap.journal"; // where earlier launchers kept theirs
inline constexpr wchar_t kOldStagingFolderName[] = L"staging";    // and their staging
inline constexpr wchar_t kOldBackupFolderName[] = L"backup";      // and their backup
inline constexpr wchar_t kLogFileName[] = L"activity.log";        // why an update did what it did (UpdateLog.h)
inline constexpr wchar_t kOldLogFileName[] = L"activity.old.log"; // the log before it reached its bound

// In the program folder, while the elevated apply step runs: its own copy of
// the package, which no one without the right to change the program can alter.
inline constexpr wchar_t kVerifiedPackageFileName[] = L"update.verified.cab";

// Keys of [Update] in the installed record that the launcher reads and writes.
inline constexpr wchar_t kRecordUpdateSection[] = L"Update";
inline constexpr wchar_t kOfferedVersionKey[] = L"Version";      // the offer being installed
inline constexpr wchar_t kRolledBackKey[] = L"RolledBack";       // a version that did not start here and went back
inline constexpr wchar_t kConfirmWithinKey[] = L"ConfirmWithin"; // seconds a new release has to prove that it runs

// The update folder of a program folder.
std::wstring UpdateFolderIn(const std::wstring& programFolder);

// A file or folder of the update folder of a program folder.
std::wstring UpdateFileIn(const std::wstring& programFolder, const wchar_t* pszName);
