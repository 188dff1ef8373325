#pragma once
// Pictures of windows as test artefacts that a person can look at after the
// run: what the screen shows of a window, saved as a 24-bit .bmp file in the
// build's artefact folder.
#include <windows.h>

#include <string>

// The path of fileName in the artefact folder, which is made when missing.
std::string TestArtefactPath(const std::string& fileName);

// Copies the screen's pixels of the window's client area to a .bmp file;
// false when nothing was written.
bool SaveWindowScreenshot(HWND window, const std::string& path);

// The number of distinct colours in a 24-bit .bmp file, counted up to limit;
// 0 when the file is not one.
int CountBitmapColours(const std::string& path, int limit);
