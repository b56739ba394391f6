// Where the built deliverables are: beside the test program.
#pragma once

#include <string>

std::string BinaryDirectory();
// File name of this bitness's radio support DLL.
const char* LibraryFileName();
std::string LibraryPath();
