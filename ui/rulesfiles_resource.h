#pragma once
// Resource identifiers of the community rules files dialog.

// Dialog template
#define IDD_RULES_FILES 143

// Controls
#define IDC_RULES_FILE_LIST 1075
#define IDC_ADD_RULES_FILE  1076
