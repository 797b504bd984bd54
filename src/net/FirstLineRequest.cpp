#include "net/FirstLineRequest.h"

#include <algorithm>

namespace {

constexpr DWORD kLineReadBytes = 1024;

} // namespace

CFirstLineRequest::~CFirstLineRequest()
{
    StopThread();
    m_request.Close();
}

HRESULT CFirstLineRequest::Start(LPCWSTR pszUrl)
{
    m_strUrl = pszUrl;
    return StartWorker();
}

UINT CFirstLineRequest::RunWorker()
{
    const HRESULT hr = ReadLine();
    if (SUCCEEDED(hr))
        Finish();
    else
        Fail(hr);
    return 0;
}

HRESULT CFirstLineRequest::ReadLine()
{
    HRESULT hr = m_request.Send(m_strUrl, nullptr, m_eventStop, Deadline());
    std::string bytes;
    while (SUCCEEDED(hr) && bytes.find('\n') == std::string::npos && bytes.size() < kMaxLineBytes) {
        const BYTE* pData = nullptr;
        DWORD nRead = 0;
        hr = m_request.Read(&pData, &nRead, kLineReadBytes, m_eventStop, Deadline());
        if (SUCCEEDED(hr) && nRead == 0)
            break;
        if (SUCCEEDED(hr))
            bytes.append(reinterpret_cast<const char*>(pData), nRead);
    }
    if (FAILED(hr))
        return hr;
    m_line = bytes.substr(0, std::min(bytes.find('\n'), kMaxLineBytes));
    if (!m_line.empty() && m_line.back() == '\r')
        m_line.pop_back();
    return S_OK;
}
