// Runs work on a thread of its own, with a machine stack reserved at the size asked for.
// The evaluator recurses for each nested call; the caller's thread (1 MB for the
// workbench's) would hold only a few hundred. The caller waits only until the work says
// it is done with what the caller gave it: freeing what a run made goes on meanwhile,
// so that a run that is stopped returns at once, and the next run waits for it.
#pragma once

#include <cstddef>
#include <functional>

namespace qav {

// Calls work(done) on a new thread with a stack of the given size, and returns once
// work has called done, or has returned; work must not touch what the caller gave it
// after calling done, nor throw. Returns false, without running it, when no such
// thread can be made.
bool RunOnOwnStack(std::size_t stackBytes, const std::function<void(const std::function<void()>& done)>& work);

} // namespace qav
