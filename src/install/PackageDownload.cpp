#include "install/PackageDownload.h"

#include "base/Sha256.h"
#include "base/UpdateLog.h"

#include "description/RemoteUpdateInfo.h"
#include "description/VersionNumber.h"
#include "install/DownloadWait.h"
#include "install/PackageCheck.h"
#include "manager/ProgressFigures.h"
#include "manager/UpdateEventSink.h"
#include "net/FileDownloadHttp.h"

CString PackageFailureReason(HRESULT hr)
{
    if (hr == TRUST_E_BAD_DIGEST)
        return L"refused, its SHA-256 is not the one the description names (or that digest is malformed)";
    if (hr == TRUST_E_NOSIGNATURE)
        return L"refused, the description names no digest and the record pins a publisher";
    if (hr == CFileDownloadHttp::kTooLarge)
        return L"refused, it is larger than the description's size";
    if (hr == E_INVALIDARG)
        return L"the description names no package address";
    if (hr == E_ABORT)
        return L"stopped by the person";
    return CString(L"the transfer failed or brought no whole cabinet: ") + LoggedResult(hr).c_str();
}

PackageKind ChoosePackageKind(const CRemoteUpdateInfo& offered, bool bProfessional, const CString& installedVersion,
                              bool bAppliesDeltas)
{
    const CString base = offered.GetDeltaBase();
    if (!bAppliesDeltas || !IsVersionText(base.Str()) || !IsVersionText(installedVersion.Str()) ||
        offered.GetPackageURL(bProfessional, PackageKind::Delta).IsEmpty())
        return PackageKind::Full;
    const CVersionNumber from = ParseVersion(base);
    const CVersionNumber installed = ParseVersion(installedVersion);
    return from.IsLessThan(installed) || from.IsGreaterThan(installed) ? PackageKind::Full : PackageKind::Delta;
}

HRESULT DownloadOfferedPackage(const CRemoteUpdateInfo& offered, bool bProfessional, PackageKind kind, bool bPinned,
                               LPCWSTR pszPath, IUpdateEventSink* pSink)
{
    const CString url = offered.GetPackageURL(bProfessional, kind);
    const ULONGLONG nStatedSize = offered.GetPackageSize(bProfessional, kind);
    if (url.IsEmpty())
        return E_INVALIDARG;
    UpdateLog(L"package: the ", kind == PackageKind::Delta ? L"delta" : L"full", L" package from ", LoggedAddress(url.Str()));

    // A digest that is there must be one: a garbled value is no way to skip the check.
    const CString digestText = offered.GetPackageDigest(bProfessional, kind);
    Sha256Digest digest = {};
    if (!digestText.IsEmpty() && !ParseSha256Hex(digestText.Str(), digest))
        return TRUST_E_BAD_DIGEST;
    // A publisher who signs names the package's digest too, or nothing is installed.
    if (digestText.IsEmpty() && bPinned)
        return TRUST_E_NOSIGNATURE;

    CPackageCheck check(digestText.IsEmpty() ? nullptr : &digest);
    CFileDownloadHttp download;
    download.SetCheck(&check);
    download.SetErrorsShown(true);
    // The stated size is a promise: a body that passes it is not the package,
    // and a hostile mirror must not fill the disk before the digest says so.
    if (nStatedSize != 0)
        download.SetMaxSize(nStatedSize);
    const HRESULT hr = download.Download(url, pszPath);
    if (FAILED(hr))
        return hr;
    bool bRangeSent = false;
    return WaitForDownload(download, [&] {
        if (!pSink)
            return false;
        // Until the answer is in there is nothing to show, only the work going on.
        if (!download.IsAnswered())
            return AskStop(pSink);
        // The description's size is the total; without one, what the server announced.
        const ULONGLONG nTotal = nStatedSize != 0 ? nStatedSize : download.GetAnnouncedSize();
        if (!bRangeSent) {
            bRangeSent = true;
            pSink->OnUpdateEvent(kEventDownload, kEventRange, 0, ScaleProgress(0, nTotal).nTotal);
        }
        const CProgressFigures figures = ScaleProgress(download.GetReceivedBytes(), nTotal);
        return pSink->OnUpdateEvent(kEventDownload, figures.nReceived, figures.nTotal, figures.nShift) != 0;
    });
}
