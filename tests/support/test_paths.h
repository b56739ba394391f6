// Where the built deliverables are: beside the test program.
#pragma once

#include <string>

std::string BinaryDirectory();
// File name of this bitness's radio support DLL.
const char* LibraryFileName();
std::string LibraryPath();
// The other bitness's build of `name`, from that preset's bin folder; empty when that
// build is missing or this machine cannot run its programs.
std::string PeerFile(const char* name);
