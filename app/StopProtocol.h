// What the stop window does, decided in one place: given the stage it is in,
// what just happened and how long the stage has lasted, the next stage and what
// to do. No window, no thread, no clock: CallWatcher carries the events here
// and does what comes back.
//
//   Running ──Stop──> Asking ──StopQAVInterfaceGrace over, or no StopQAVInterface──> Forcing
//   Forcing ──forced──> Stopped ──still in the call after a while──> CannotStop
//   Forcing ──not forced for ForceTrial──> CannotStop (goes on trying)
//   CannotStop or SaveFailed, or Running with a box of the library's own up,
//     ──Save and quit──> saved: Saved ──notice over, or Quit──> the process ends
//                        not saved: SaveFailed ──Stop──> CannotStop
#pragma once

#include "contract/StopGrace.h"

#include <chrono>

namespace stop_protocol {

using Duration = std::chrono::steady_clock::duration;

// How long a forced stop is tried before the window says it is not safe.
inline constexpr Duration ForceTrial = std::chrono::milliseconds(300);
// How long a call stopped by force may take to come back before the stop counts as failed.
inline constexpr Duration StoppedReturn = std::chrono::milliseconds(1000);
// How long the window names the saved file before the process ends.
inline constexpr Duration SavedNotice = std::chrono::milliseconds(3000);

enum class Stage { Running, Asking, Forcing, Stopped, CannotStop, SaveFailed, Saved };

enum class Event {
    Tick,                   // time passed
    StopPressed,            // Stop, Esc or the close box
    SavePressed,            // Save and quit
    QuitPressed,            // Quit, once the program is saved
    LibraryTookNote,        // StopQAVInterface returned
    LibraryCannotBeAsked,   // the library has no StopQAVInterface, or it faulted
    Forced,                 // the call was sent back to its guard
    NotForced,              // the thread was not in the library's own code
    Saved,                  // the program was saved
    NotSaved,               // saving it failed
};

enum class Effect { None, AskLibrary, Force, SaveProgram, EndProcess };

struct Step {
    Stage next;
    Effect effect;
};

// The stage after event, and what to do; inStage: how long stage has lasted.
Step Next(Stage stage, Event event, Duration inStage) noexcept;

// What the window says while in a stage.
enum class Shown {
    Running,    // "... has been running for N s. Stop ends it."
    WaitingBox, // the library waits for an answer in a box of its own
    Stopping,
    CannotStop,
    Unchanged,  // the text of the last step stays (a failed save, the saved file)
};

struct Display {
    Shown text;
    bool offersSave; // Save and quit is shown
};

Display Show(Stage stage, bool libraryBoxShown) noexcept;

} // namespace stop_protocol
