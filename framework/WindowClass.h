// The program's top-level window classes: the face colour, the arrow cursor and
// the executable's main icon.
#pragma once

#include "framework/Win.h"

// Registers the class once per process; later calls find it and do nothing.
// Failure raises an Exception naming the class.
void RegisterWindowClass(const wchar_t* className, WNDPROC procedure);
