#pragma once
// Resource identifiers of the task options, cookies and schedule dialogs.

// Dialog templates
#define IDD_TASK_SETTINGS 135
#define IDD_SCHEDULE      136
#define IDD_COOKIES       142

// The clock picture at the top of the schedule dialog.
#define IDI_SCHEDULE 140

// Task options
#define IDC_COOKIES_BUTTON  1002
#define IDC_TEMP_AGE_HOURS  1050
#define IDC_TEMP_AGE_SPIN   1051
#define IDC_TEMP_AGE_ENABLE 1058
#define IDC_RECYCLE_AGE_ENABLE 1043
#define IDC_RECYCLE_AGE_DAYS   1044
#define IDC_RECYCLE_AGE_SPIN   1045

// Cookies
#define IDC_CLEAN_LIST      1052
#define IDC_KEEP_LIST       1053
#define IDC_KEEP_SELECTED   1054
#define IDC_KEEP_ALL        1055
#define IDC_CLEAN_SELECTED  1056
#define IDC_CLEAN_ALL       1057

// Schedule
#define IDC_EVERY_UNIT        1010
#define IDC_EVERY_NUMBER      1014
#define IDC_EVERY_SPIN        1019
#define IDC_RUN_AT_STARTUP    1020
#define IDC_RUN_AT_SHUTDOWN   1021
#define IDC_SCHEDULE_ENABLED  1022
#define IDC_RUN_EVERY         1024
#define IDC_RUN_ONCE          1025
#define IDC_RUN_ONCE_DATE     1026
#define IDC_RUN_ONCE_TIME     1028
#define IDC_LAST_RUN          1036
#define IDC_NEXT_RUN          1037
#define IDC_START_DATE        1038
#define IDC_START_TIME        1039
#define IDC_STARTING_FROM     1040
#define IDC_RUN_AT_BROWSER_CLOSE 1041
#define IDC_BROWSER_TO_WATCH  1042
