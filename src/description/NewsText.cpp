#include "description/NewsText.h"

CString ExpandNewsLineBreaks(const CString& value)
{
    CString text(value);
    text.Replace(L"+", L"\r\n");
    return text;
}

CString FoldNewsLineBreaks(const CString& text)
{
    CString value(text);
    value.Replace(L"\r\n", L"+");
    value.Replace(L'\r', L'+');
    value.Replace(L'\n', L'+');
    return value;
}
