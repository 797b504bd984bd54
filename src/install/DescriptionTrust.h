// Whether the library may act on an update description. An installation whose
// record names no publisher key takes every description, as it always has; one
// with a key acts only on a description signed by one of its keys that has not
// expired, since anyone on the network path can answer the check.
#pragma once

#include "framework/AfxString.h"

#include <string_view>

// The verdict on a description's bytes for the record's "PublisherKey" text
// (empty: no key) and its client section's "Expires" text (empty: none) at
// nowUtcTicks (FILETIME ticks).
bool IsDescriptionTrusted(std::string_view fileBytes, const CString& strPublisherKey, const CString& strExpires,
                          ULONGLONG nowUtcTicks);
