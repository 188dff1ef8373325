#pragma once
// The program's string table: the identifiers of its messages, used from
// every layer, while the texts live in the program's resource script.
// Identifiers not listed here were never used and stay free.

#define IDS_PRODUCT_NAME             1
#define IDS_COMPANY_NAME             2
#define IDS_DEFAULT_TASK             3
#define IDS_CREATE_NEW_TASK          4
#define IDS_INVENTORY_READ_ERROR     5
#define IDS_START_FAILED             6
#define IDS_APP_TITLE                8
#define IDS_TASKS_FAILED_TO_LOAD     9
#define IDS_TASK_LOAD_FAILURE_LINE   10
#define IDS_CANT_OPEN_FILE           11
#define IDS_CANT_WRITE_FILE          12
#define IDS_CANT_READ_FILE           13
#define IDS_BAD_FILE_FORMAT          14
#define IDS_BAD_DATE_TIME_FORMAT     15
#define IDS_CANNOT_CREATE_TASK       16
#define IDS_CANNOT_DELETE_TASK       17
#define IDS_USAGE                    18
#define IDS_EVENT_ERROR              19
#define IDS_EVENT_WARNING            20
#define IDS_EVENT_INFORMATION        21
#define IDS_EVENT_UNKNOWN            22
#define IDS_CANNOT_RUN_TASK          23
#define IDS_STATUS_STARTED           24
#define IDS_STATUS_STOPPED           25
#define IDS_CANNOT_STOP_TASK         26
#define IDS_TASK_STOP_TIMEOUT        27
#define IDS_TASK_INIT_FAILURE        28
#define IDS_MODULE_LOAD_FAILED       29
#define IDS_LOADING_JOB_LIST         30
#define IDS_STARTING_CLEANUP_JOBS    31
#define IDS_INVALID_TASK_INFORMATION 32
#define IDS_CANNOT_CREATE_JOB        33
#define IDS_JOB_EXECUTION_FAILURE    34
#define IDS_STARTING_JOB             35
#define IDS_JOB_FINISHED             36
#define IDS_JOB_RUN_FAILURE          37
#define IDS_JOB_INIT_FAILURE         38
#define IDS_COOKIE_LIST_FAILED       39
#define IDS_ALREADY_RUNNING          45
#define IDS_AUTORUN_FAILED           46
#define IDS_MODULE_NAME_REFUSED      47
#define IDS_TASK_NAME_REFUSED        48
#define IDS_TASK_NAME_MISMATCH       49
#define IDS_TASK_FILE_EXISTS         50
#define IDS_DEFAULT_TASK_KEPT        51
#define IDS_DEFAULT_TASK_NOT_KEPT    52
