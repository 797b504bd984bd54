// The caption of the library's message boxes, chosen in one place.
#pragma once

#include "framework/AfxString.h"

// The record whose [Dialog] texts a person sees outside a check: the one in the
// host program's "Update" folder, as a normal installation has it; else the
// library's own in its update folder. Nothing is created.
CString InstalledRecordPath();

// The record's UpdateTitle where it names one (the record of the check under
// way, else the installed one), so that every box of ours carries the title of
// the dialog; else strAppName.
CString MessageCaption(const CString& strAppName);
