// A library that ends the process from inside a call: abort() (where a failed
// assert, std::terminate and Lua's panic end), exit(), _exit(), _Exit(),
// quick_exit(), ExitProcess() or TerminateProcess() on its own process.
//
// At binding, those imports of the library, and of the modules that came with
// it, are turned aside to functions of our own (DivertImports), and before each
// call the C runtimes it uses get a SIGABRT handler of ours, which catches the
// abort() that a runtime calls from inside itself (after an assert's box).
// - On a thread inside a guarded call, the call ends there as if it had faulted
//   (the guard throws GuardedCallEnded): the process goes on, and the library's
//   own exit path, with its exit handlers, never runs.
// - Anywhere else, while a library call runs (a thread of the library's own),
//   the last words are said once (the workbench saves the program there) and
//   the process then ends as the library asked. The same happens when the
//   calling thread ends the process by a way that was not turned aside (a
//   function found with GetProcAddress, say): seen as the thread's fiber-local
//   data is released at the process's end.
// What nothing outlives: __fastfail, and TerminateProcess reached by a way that
// was not turned aside.
#pragma once

#include "binding/ProcessEnd.h"
#include "framework/UnicodeString.h"
#include "framework/Win.h"

#include <memory>
#include <vector>

// Said before the process ends where the end cannot be survived: the operation
// that was running, how the library ended the process, whether a thread other
// than the caller's did, and the program as it was when the call began. At
// most once per process, on the thread that ends it, perhaps while the process
// is being torn down: it may use the heap and files, and must not wait for
// another thread.
using LastWords = void (*)(const wchar_t* operation, const ProcessEnd& end, bool otherThread,
                           const UnicodeString& program) noexcept;
void SetLastWords(LastWords lastWords) noexcept;

// At binding, on the thread that will call the library: turns aside the ends
// of the process and the stderr writes among the imports of the library and
// of the modules it brought (the workbench's own image is never changed).
void GuardProcessEnds(HMODULE library, const std::vector<HMODULE>& brought);

// The program text the last words keep, from now on.
void KeepForLastWords(std::shared_ptr<const UnicodeString> program) noexcept;

// Around each call into the library, on the calling thread: sets the SIGABRT
// handlers again (a runtime resets a handler once it fires), forgets what the
// library wrote to stderr before, and names the operation for the last words.
class LibraryCallScope {
public:
    explicit LibraryCallScope(const wchar_t* operation) noexcept;
    ~LibraryCallScope();
    LibraryCallScope(const LibraryCallScope&) = delete;
    LibraryCallScope& operator=(const LibraryCallScope&) = delete;

private:
    const wchar_t* outer_;
};
