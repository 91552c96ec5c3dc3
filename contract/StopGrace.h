// How long the workbench gives a call to return by itself after it asked the
// library through StopQAVInterface to stop it, before it stops the call by
// force: the half second QAVInterface.h promises authors. The workbench's call
// watcher waits this long, and qavcheck measures a library's stop against it.
#pragma once

#include <chrono>

inline constexpr std::chrono::milliseconds StopQAVInterfaceGrace{500};
