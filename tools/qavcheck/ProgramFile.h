// The program text given to Execute, read from a file as the workbench's editor
// would hold it: UTF-16, lines ending in CR LF.
#pragma once

#include <string>

// UTF-8 (a byte-order mark is skipped) or UTF-16 LE after its byte-order mark;
// a lone LF becomes CR LF. Throws Exception when the file cannot be read or is
// not valid text.
std::wstring ReadProgramFile(const std::wstring& path);

// What Execute gets without --program: a program of the sample interpreter's language.
extern const wchar_t* const DefaultProgram;
