#pragma once
// Resource identifiers of the new-task and settings dialogs and of the job
// tree's bitmaps.

// Bitmaps: the job tree's check-state pictures (four 16x16 images: blank,
// unchecked, checked, mixed) and its item icons (indexed by the catalogue's
// icon numbers); white is transparent in both.
#define IDB_CHECK_STATES 138
#define IDB_JOB_ICONS    139

// Dialog templates
#define IDD_NEW_TASK 131
#define IDD_SETTINGS 134

// Controls
#define IDC_LOAD_AT_STARTUP 1033
#define IDC_SETTING_LOCKED  1034  // why the box cannot be changed, when it cannot
#define IDC_TASK_NAME       1035
