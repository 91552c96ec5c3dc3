// Runs work on a thread of its own, with a machine stack reserved at the size asked for.
// The evaluator recurses for each nested call; the caller's thread (1 MB for the
// workbench's) would hold only a few hundred.
#pragma once

#include <cstddef>
#include <functional>

namespace qav {

// Runs work to its end on a new thread with a stack of the given size, and rethrows
// what it threw. Returns false, without running it, when no such thread can be made.
bool RunOnOwnStack(std::size_t stackBytes, const std::function<void()>& work);

} // namespace qav
