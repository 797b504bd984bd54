// The texts of the status dialog's status line, built from their parts.
#pragma once

#include "framework/AfxString.h"

// The offer line: every "{Version}" in text becomes "(" version ")", or
// nothing when the version is empty.
CString ReplaceVersionPlaceholder(const CString& text, const CString& version);

// A one-argument pattern such as "%s 自动退出." with name in place of its first
// "%s" and "%%" read as "%". Any other '%' stays as it is, so a translation
// with more, fewer or other placeholders cannot read arguments that do not exist.
CString FormatWithOneString(const CString& pattern, const CString& name);

// The download line: the pattern (string 1019, "{Label}: {Received} of
// {Total}") with the three values in place of their placeholders, in one pass,
// so that a value is taken literally even when it holds a placeholder.
CString DownloadStatusText(const CString& pattern, const CString& label, const CString& received, const CString& total);

// A byte count as the shell writes it ("1.50 MB"), from a signed 64-bit value.
CString FormatByteSize(LONGLONG nBytes);
