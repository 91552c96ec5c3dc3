// Binding the interpreter library "QAV.dll" when the main window is created and
// releasing it when the window closes. Each outcome is reported as one line of
// the window's log; nothing here raises.
#pragma once

#include "binding/QAVInterface.h"
#include "framework/Strings.h"

// Process-wide, zero at start, written only by binding (the slot only by the library).
extern void* InterpreterLibrary; // the library's module handle
extern QAV_GET_INTERFACE_FN GetInterfaceFunc;
extern QAV_FREE_INTERFACE_FN FreeInterfaceFunc;
extern QAV_INTERFACE* InterpreterInterface;

// Loads the library, resolves both entry points, acquires the interface and
// appends one line to log: the version, or the first failure.
void BindInterpreter(TStrings& log);

// What binding achieved; it lasts until the window closes. Only Bound leaves an
// interface to call.
enum class BindingState { NoLibrary, NoEntryPoints, NoInterface, Bound };
extern BindingState InterpreterState;

// Gives the interface back if the slot holds one, then unloads the library.
// A failure appends its line to log.
void ReleaseInterpreter(TStrings& log);
