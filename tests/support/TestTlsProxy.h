// HTTPS for the tests: a TLS front for a TestHttpServer, run by the host's
// python3 (tests/tls/tls-proxy.py), with a certificate for "localhost" from
// one of the two test authorities that the build makes.
#pragma once

#include <string>

namespace testing_support {

class TestTlsProxy {
public:
    // bTrusted: the authority that TrustTestAuthority adds to the root store,
    // else one that nobody trusts. The proxy ends by itself once the target
    // server has stopped.
    bool Start(unsigned short targetPort, bool bTrusted);

    unsigned short Port() const { return m_port; }
    // "https://localhost:<port>" followed by target.
    std::wstring Url(const std::string& target) const;
    std::string UrlA(const std::string& target) const;

private:
    unsigned short m_port = 0;
};

// Adds the trusted test authority to the current user's root store of this
// Wine prefix (once per process); false when it could not.
bool TrustTestAuthority();

} // namespace testing_support
