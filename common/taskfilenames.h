#pragma once
// The names of the files in the data and task folders, spelt once for every layer that makes or
// recognises them: a task's files are "<task>" and a suffix, its last run "TS_LRT_<task>.dat".
constexpr char kTaskFileExtension[] = ".tsk";
constexpr char kSavingSuffix[] = ".tw-saving";  // a save's temporary file
constexpr char kSessionDataSuffix[] = ".log_file";
constexpr char kPreviewSessionDataSuffix[] = ".preview_log";
constexpr char kStatusSuffix[] = ".run_time";  // held while a clean runs
constexpr char kPreviewStatusSuffix[] = ".preview_run";
constexpr char kPreviewReportSuffix[] = ".preview.txt";
constexpr char kLastRunPrefix[] = "TS_LRT_";
constexpr char kLastRunSuffix[] = ".dat";
constexpr char kTakingOverSuffix[] = ".tw-taking";  // another user's task file while it is written anew
constexpr char kUnreadableInfix[] = ".unreadable-";  // an unreadable default task, moved aside
constexpr char kSetAsideInfix[] = ".refused-";      // what stood in the way, renamed out of it
