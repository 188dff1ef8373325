#pragma once
// The version of both deliverables: their resource scripts' version blocks
// and the program's trace header read it from here.
#define TW_VERSION_MAJOR 1
#define TW_VERSION_MINOR 0
#define TW_VERSION_BUILD 4
#define TW_VERSION_REVISION 2
#define TW_VERSION_NUMBERS TW_VERSION_MAJOR, TW_VERSION_MINOR, TW_VERSION_BUILD, TW_VERSION_REVISION
// The same as text: the resource compiler cannot build it from the numbers.
#define TW_VERSION_TEXT "1.0.4.2"
