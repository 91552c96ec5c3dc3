// A C++ exception of the MinGW runtime's kind that left a call into the library
// (x64 only: there the system's dispatch carries it through the library's edge
// to our frames), told as the workbench tells it: its type, and what() when it
// is a std::exception.
#pragma once

#include <string>

// Call inside a catch block only: "std::runtime_error: what it said", or the
// type's name alone ("ScriptError*") for anything else.
std::wstring DescribeEscapedException();
