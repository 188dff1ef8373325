#pragma once
// The plug-in's tracer follows the program's trace setting.
//
// With tracing on (DebugLogLevel not 0) the plug-in appends its records to
// the program's trace file "tw_debug.log", at the program's threshold, so
// that what a cleanup erases reaches that file and nothing else. With
// tracing off, its ordinary records still go to the debugger output, and
// the private ones (TRACE_PRIVATE) go nowhere.
//
// Called when the first job is created, on the task process's main thread;
// later calls do nothing.
void OpenPluginTracer();
