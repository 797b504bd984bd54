// The news text of an update: a description writes its line breaks as "+",
// and the installed record keeps them the same way in its one-line value.
#pragma once

#include "framework/AfxString.h"

// Every "+" becomes a carriage return and line feed.
CString ExpandNewsLineBreaks(const CString& value);

// Every line break ("\r\n", "\r" or "\n") becomes "+".
CString FoldNewsLineBreaks(const CString& text);
