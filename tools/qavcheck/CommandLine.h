// A command line that gives a program exactly these arguments, quoted the way
// the C runtime and CommandLineToArgvW read them back.
#pragma once

#include <string>
#include <vector>

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);
