// The launcher's resource identifiers.
#pragma once

#define IDS_LAUNCHER_TITLE 101
#define IDS_FILE_HELD      102
