// Binding the interpreter library "QAV.dll" when the main window is created and
// releasing it when the window closes. Each outcome is reported as one line of
// the window's log; nothing here raises.
#pragma once

#include "contract/QAVInterface.h"
#include "framework/Strings.h"
#include "framework/Win.h"

// Process-wide, zero at start, written only by binding (the slot only by the
// library). Their names are the program's own, kept as they always were.
extern HMODULE InterpreterLibrary; // set when the library loads; kept after release
extern QAV_GET_INTERFACE_FN GetInterfaceFunc;
extern QAV_FREE_INTERFACE_FN FreeInterfaceFunc;
extern QAV_INTERFACE* InterpreterInterface;

// What binding achieved; Released once the release has run.
enum class BindingState { NoLibrary, NoEntryPoints, NoInterface, Bound, Released };
extern BindingState InterpreterState;

// Loads the library, resolves both entry points, acquires the interface and
// appends one line to log: the version, or the first failure.
void BindInterpreter(TStrings& log);

// The interface to call, or null when binding left none (or it was released).
QAV_INTERFACE* BoundInterface() noexcept;

// Runs once after a binding, in this order: gives the interface back if the
// slot holds one (a failure appends its line to log), then unloads the library
// in every state where one was loaded. Later calls do nothing.
void ReleaseInterpreter(TStrings& log);

// For tests in the workbench's own process: the library that bindings made
// while it lives load instead of "QAV.dll" (a test program that exports the
// entry points itself, or a file that does not exist, to load nothing).
class ScopedInterpreterLibrary {
public:
    explicit ScopedInterpreterLibrary(const wchar_t* path) noexcept;
    ~ScopedInterpreterLibrary();
    ScopedInterpreterLibrary(const ScopedInterpreterLibrary&) = delete;
    ScopedInterpreterLibrary& operator=(const ScopedInterpreterLibrary&) = delete;

private:
    const wchar_t* previous_;
};
