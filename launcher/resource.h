// The launcher's resource identifiers.
#pragma once

#define IDS_LAUNCHER_TITLE 101
#define IDS_FILE_HELD      102
#define IDS_NOT_PERMITTED  103
