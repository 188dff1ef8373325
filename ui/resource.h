#pragma once
// Resource identifiers of the program Tidewhistle.exe: the console's, the
// dialogs' (in headers of their own) and the string table's.
#include "common/stringids.h"
#include "taskdialogs_resource.h"
#include "optionsdialogs_resource.h"
#include "rulesfiles_resource.h"

#define IDI_TIDEWHISTLE 128

// Dialog templates
#define IDD_TIDEWHISTLE_DIALOG 102

// Controls of the console
#define IDC_JOB_TREE          1000
#define IDC_PROGRESS_TEMPLATE 1001
#define IDC_NEW_TASK          1004
#define IDC_SETTINGS          1005
#define IDC_RULES_FILES       1074  // opens the community rules files dialog
#define IDC_CUSTOM_CLEANUP    1006
#define IDC_HELP_BUTTON       1008
#define IDC_HELP_MENU         1009
#define IDC_SCHEDULE          1011
#define IDC_DELETE_TASK       1012
#define IDC_TASK_OPTIONS      1013
#define IDC_TASK_BOX          1029
#define IDC_START             1030
#define IDC_STOP              1031
#define IDC_RUN_STATUS        1032
#define IDC_PREVIEW           1070  // below the frame: preview, its report, the last totals
#define IDC_PREVIEW_REPORT    1071
#define IDC_LAST_TOTALS       1072  // the last clean's totals
#define IDC_LAST_PREVIEW_TOTALS 1073  // the last preview's
#define IDC_PROGRESS_LIST     104   // each task's list, made in the template list's place
#define IDM_ONLINE_HELP       1025
#define IDM_SUBMIT_TICKET     1026
