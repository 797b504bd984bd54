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

// "label: received of total"; the label is taken literally.
CString DownloadStatusText(const CString& label, const CString& received, const CString& total);

// A byte count as the shell writes it ("1.50 MB"), from a signed 64-bit value.
CString FormatByteSize(LONGLONG nBytes);
