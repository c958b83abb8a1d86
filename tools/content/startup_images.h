// The start-up launcher's pictures (images/startup/1.bmp to 37.bmp, 24-bit), painted with the interface painter
// and labelled in English (1-17), French (18-27) and German (28-37). Its help pages are hand-written
// (tools/content/text/help/) and copied with the other texts.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

constexpr int kContentStartupFiles = 37;

// The picture of file number 1-37 (top-down RGBA rows), sized as the launcher draws it.
ContentPngImage ContentStartupImage(int file);

// Writes images/startup/1.bmp to 37.bmp under dir; false with a message on the first failure.
bool ContentWriteStartup(const std::string& dir, std::string* error);
