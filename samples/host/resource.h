// Identifiers of the sample host's window and controls.
#pragma once

#define IDI_HOST            1
#define IDC_VERSION_TEXT    100
#define IDC_CHECK_UPDATE    101
#define IDC_ADDRESS_TEXT    102
