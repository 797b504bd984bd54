#include "support/TestTlsProxy.h"

#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace testing_support {

namespace {

// The build's Unix paths, for the host's python3, and as Wine's drive Z: sees them.
const std::string kTlsFolder = UPDATE_TEST_TLS_DIR;
const std::string kProxyScript = UPDATE_TEST_TLS_PROXY;

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring WindowsPath(const std::string& unixPath)
{
    std::wstring path = L"Z:" + Widen(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

bool TestTlsProxy::Start(unsigned short targetPort, bool bTrusted)
{
    static volatile LONG s_nProxies = 0;
    const std::string authority = bTrusted ? "trusted" : "untrusted";
    const std::string portFile = kTlsFolder + "/proxy-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(::InterlockedIncrement(&s_nProxies)) + ".port";
    ::DeleteFileW(WindowsPath(portFile).c_str());
    std::wstring command = L"Z:\\usr\\bin\\python3 " + Widen(kProxyScript) + L" " +
                           Widen(kTlsFolder + "/" + authority + "-localhost.pem") + L" " +
                           Widen(kTlsFolder + "/" + authority + "-localhost.key") + L" " +
                           std::to_wstring(targetPort) + L" " + Widen(portFile);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // A Unix program: Wine starts it, but hands back nothing to wait on.
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess)
        ::CloseHandle(pi.hProcess);
    if (pi.hThread)
        ::CloseHandle(pi.hThread);
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(WindowsPath(portFile).c_str());
        unsigned port = 0;
        if (in >> port && port) {
            m_port = static_cast<unsigned short>(port);
            ::DeleteFileW(WindowsPath(portFile).c_str());
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

std::wstring TestTlsProxy::Url(const std::string& target) const
{
    return Widen(UrlA(target));
}

std::string TestTlsProxy::UrlA(const std::string& target) const
{
    return "https://localhost:" + std::to_string(m_port) + target;
}

bool TrustTestAuthority()
{
    static const bool s_bTrusted = [] {
        const std::vector<BYTE> der = ReadFileBytes(WindowsPath(kTlsFolder + "/trusted-ca.der"));
        if (der.empty())
            return false;
        HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT");
        if (!store)
            return false;
        const BOOL bAdded = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                               static_cast<DWORD>(der.size()),
                                                               CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        ::CertCloseStore(store, 0);
        return bAdded != FALSE;
    }();
    return s_bTrusted;
}

} // namespace testing_support
