// The first line of the answer to a GET, fetched on a worker like every
// request of the library (CRequestWorker): the caller polls it and may stop it.
#pragma once

#include "framework/AfxString.h"
#include "net/HttpRequest.h"
#include "net/RequestWorker.h"

#include <string>

class CFirstLineRequest : public CRequestWorker {
public:
    // Longer lines are cut here.
    static constexpr size_t kMaxLineBytes = 4096;

    CFirstLineRequest() = default;
    ~CFirstLineRequest() override;

    // Starts the worker: S_OK once it runs. Whatever the answer's status, its
    // first line is taken.
    HRESULT Start(LPCWSTR pszUrl);
    // Once finished: the line's bytes, without its line end.
    const std::string& GetLine() const { return m_line; }

protected:
    UINT RunWorker() override;

private:
    HRESULT ReadLine();

    CString m_strUrl;
    std::string m_line;
    CHttpRequest m_request;
};
