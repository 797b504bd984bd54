#include "Cabinet.h"

#include "FileBytes.h"
#include "PublishError.h"
#include "base/TextCodec.h"

#include "base/Decimal.h"
#include "base/Handles.h"

#include <fci.h>
#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// FCI names every file it opens by text. Each name handed to it is "#" and an
// index into paths, so that any wide path, however long, reaches the platform.
struct CabinetContext {
    std::vector<std::wstring> paths;
    std::vector<const CabinetFile*> sources;  // by index of paths; null for the cabinet and temporaries
    std::vector<size_t> temporaries;
    std::wstring failedPath;
    DWORD dwError = 0;

    CabinetContext() = default;
    CabinetContext(const CabinetContext&) = delete;
    CabinetContext& operator=(const CabinetContext&) = delete;
    ~CabinetContext()
    {
        for (size_t index : temporaries)
            ::DeleteFileW(paths[index].c_str());
    }

    std::string Token(size_t index) const { return "#" + std::to_string(index); }

    // The index a token names, or paths.size() for anything else.
    size_t IndexOf(const char* pszName) const
    {
        if (!pszName || pszName[0] != '#')
            return paths.size();
        ULONGLONG index = 0;
        return ParseStrictDecimal(std::string_view(pszName + 1), index) && index < paths.size()
                   ? static_cast<size_t>(index)
                   : paths.size();
    }

    size_t Add(const std::wstring& path, const CabinetFile* pSource)
    {
        paths.push_back(path);
        sources.push_back(pSource);
        return paths.size() - 1;
    }

    void Failed(const std::wstring& path, DWORD error)
    {
        if (failedPath.empty()) {
            failedPath = path;
            dwError = error;
        }
    }
};

CabinetContext* ContextOf(void* pv)
{
    return static_cast<CabinetContext*>(pv);
}

FNFCIALLOC(Allocate)
{
    return std::malloc(cb);
}

FNFCIFREE(Release)
{
    std::free(memory);
}

FNFCIOPEN(OpenFile)
{
    CabinetContext* context = ContextOf(pv);
    const size_t index = context->IndexOf(pszFile);
    if (index == context->paths.size()) {
        *err = ERROR_INVALID_NAME;
        return -1;
    }
    const int access = oflag & (_O_WRONLY | _O_RDWR);
    const DWORD dwAccess = access == _O_RDWR ? GENERIC_READ | GENERIC_WRITE
                                             : access == _O_WRONLY ? GENERIC_WRITE : GENERIC_READ;
    // Temporaries are ours and made beforehand, so "create, must not exist" takes them over.
    const DWORD dwCreation = (oflag & _O_CREAT) ? CREATE_ALWAYS : OPEN_EXISTING;
    (void)pmode;
    HANDLE h = ::CreateFileW(context->paths[index].c_str(), dwAccess, FILE_SHARE_READ, nullptr, dwCreation,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *err = static_cast<int>(::GetLastError());
        context->Failed(context->paths[index], ::GetLastError());
        return -1;
    }
    return reinterpret_cast<INT_PTR>(h);
}

FNFCIREAD(ReadFile)
{
    DWORD read = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(hf), memory, cb, &read, nullptr)) {
        *err = static_cast<int>(::GetLastError());
        ContextOf(pv)->Failed(L"(reading)", ::GetLastError());
        return static_cast<UINT>(-1);
    }
    return read;
}

FNFCIWRITE(WriteFile)
{
    DWORD written = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(hf), memory, cb, &written, nullptr) || written != cb) {
        *err = static_cast<int>(::GetLastError());
        ContextOf(pv)->Failed(L"(writing)", ::GetLastError());
        return static_cast<UINT>(-1);
    }
    return written;
}

FNFCICLOSE(CloseFile)
{
    (void)pv;
    if (!::CloseHandle(reinterpret_cast<HANDLE>(hf))) {
        *err = static_cast<int>(::GetLastError());
        return -1;
    }
    return 0;
}

FNFCISEEK(SeekFile)
{
    const DWORD method = seektype == SEEK_END ? FILE_END : seektype == SEEK_CUR ? FILE_CURRENT : FILE_BEGIN;
    LARGE_INTEGER distance, position;
    distance.QuadPart = dist;
    if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(hf), distance, &position, method)) {
        *err = static_cast<int>(::GetLastError());
        ContextOf(pv)->Failed(L"(seeking)", ::GetLastError());
        return -1;
    }
    return static_cast<__LONG32>(position.QuadPart);
}

FNFCIDELETE(DeleteFile)
{
    CabinetContext* context = ContextOf(pv);
    const size_t index = context->IndexOf(pszFile);
    if (index == context->paths.size() || !::DeleteFileW(context->paths[index].c_str())) {
        *err = static_cast<int>(::GetLastError());
        return -1;
    }
    return 0;
}

FNFCIGETTEMPFILE(GetTempFile)
{
    CabinetContext* context = ContextOf(pv);
    wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    if (!::GetTempPathW(MAX_PATH, folder) || !::GetTempFileNameW(folder, L"cab", 0, name)) {
        context->Failed(L"temporary file", ::GetLastError());
        return FALSE;
    }
    const size_t index = context->Add(name, nullptr);
    context->temporaries.push_back(index);
    const std::string token = context->Token(index);
    if (static_cast<int>(token.size()) >= cbTempName)
        return FALSE;
    std::memcpy(pszTempName, token.c_str(), token.size() + 1);
    return TRUE;
}

FNFCIFILEPLACED(FilePlaced)
{
    (void)pccab, (void)pszFile, (void)cbFile, (void)fContinuation, (void)pv;
    return 0;
}

FNFCIGETNEXTCABINET(GetNextCabinet)
{
    (void)pccab, (void)cbPrevCab, (void)pv;
    return FALSE;  // one cabinet, never a set
}

FNFCISTATUS(Status)
{
    (void)typeStatus, (void)cb1, (void)cb2, (void)pv;
    return 0;
}

FNFCIGETOPENINFO(GetOpenInfo)
{
    CabinetContext* context = ContextOf(pv);
    const size_t index = context->IndexOf(pszName);
    if (index == context->paths.size() || !context->sources[index]) {
        *err = ERROR_INVALID_NAME;
        return -1;
    }
    const CabinetFile& file = *context->sources[index];
    // The file's own time, as UTC: the same file gives the same bytes in any
    // time zone. Times a cabinet cannot hold (before 1980) become its earliest.
    if (!::FileTimeToDosDateTime(&file.lastWrite, pdate, ptime)) {
        *pdate = (1 << 5) | 1;  // 1980-01-01
        *ptime = 0;
    }
    // A plain file: read-only or hidden copies would hinder the next update.
    *pattribs = _A_ARCH;
    for (wchar_t ch : file.name) {
        if (ch > 0x7F) {
            *pattribs |= _A_NAME_IS_UTF;
            break;
        }
    }
    return OpenFile(pszName, _O_RDONLY | _O_BINARY, 0, err, pv);
}

struct CFciTraits : CNullHandleTraits<HFCI> {
    static void Close(Handle h) { ::FCIDestroy(h); }
};
using CFciHandle = CHandleOwner<CFciTraits>;

[[noreturn]] void FailCabinet(const std::wstring& path, const CabinetContext& context, const ERF& erf)
{
    if (!context.failedPath.empty() && context.failedPath[0] != L'(')
        FailWithError(context.failedPath, context.dwError);
    static const wchar_t* const kErrors[] = {
        L"no error", L"cannot open a file to pack", L"cannot read a file to pack", L"out of memory",
        L"cannot make a temporary file", L"unknown compression", L"cannot write the cabinet",
        L"stopped", L"the compressor failed"};
    const int oper = erf.erfOper;
    std::wstring what = oper >= 0 && oper < static_cast<int>(ARRAYSIZE(kErrors)) ? kErrors[oper] : L"the cabinet API failed";
    if (context.dwError)
        what += L" (" + ErrorText(context.dwError) + L")";
    Fail(path, what);
}

} // namespace

void WriteCabinet(const std::wstring& path, const std::vector<CabinetFile>& files)
{
    ULONGLONG total = 0;
    for (const CabinetFile& file : files) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW(file.source.c_str(), GetFileExInfoStandard, &data))
            FailWithError(file.source, ::GetLastError());
        total += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (Utf8Of(file.name).size() >= CB_MAX_FILENAME)
            Fail(file.source, L"a name of more than 255 bytes, which a cabinet cannot hold");
    }
    // Offsets in a cabinet are 31 bits; the compressor's blocks per folder are 16 bits of 32 KiB.
    if (total >= 0x7FFF0000ull)
        Fail(path, L"a package holds less than 2 GiB");

    CPendingFile pending(path);
    CabinetContext context;
    CCAB ccab = {};
    ccab.cb = CB_MAX_DISK;
    ccab.cbFolderThresh = CB_MAX_DISK;
    ccab.iCab = 1;
    const std::string cabinetToken = context.Token(context.Add(pending.Path(), nullptr));
    std::memcpy(ccab.szCab, cabinetToken.c_str(), cabinetToken.size() + 1);

    std::vector<std::string> sourceTokens, names;
    for (const CabinetFile& file : files) {
        sourceTokens.push_back(context.Token(context.Add(file.source, &file)));
        names.push_back(Utf8Of(file.name));
    }

    ERF erf = {};
    {
        CFciHandle fci(::FCICreate(&erf, FilePlaced, Allocate, Release, OpenFile, ReadFile, WriteFile, CloseFile,
                                   SeekFile, DeleteFile, GetTempFile, &ccab, &context));
        if (!fci)
            FailCabinet(path, context, erf);
        for (size_t i = 0; i < files.size(); ++i) {
            if (!::FCIAddFile(fci.Get(), &sourceTokens[i][0], &names[i][0], FALSE, GetNextCabinet, Status,
                              GetOpenInfo, tcompTYPE_MSZIP))
                FailCabinet(files[i].source, context, erf);
        }
        if (!::FCIFlushCabinet(fci.Get(), FALSE, GetNextCabinet, Status))
            FailCabinet(path, context, erf);
    }
    pending.Commit(true);
}
