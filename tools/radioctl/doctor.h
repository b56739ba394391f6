// radioctl doctor: walks every link a switch depends on, read-only, and says for each
// what it found and what to do about it.
#pragma once

#include <string>
#include <vector>

#include "doctor_checks.h"
#include "doctor_link.h"

std::vector<LinkReport> RunDoctor(const std::string& libraryPath);
