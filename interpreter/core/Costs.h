// What work costs in steps, beyond the parts of the program that run. The step budget
// is meant to bound time, so each kind of work is charged about what it takes next to
// a simple part such as reading a variable (about a nanosecond on a desktop machine),
// as measured in both libraries, the 32-bit and the 64-bit, under Wine and natively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav::cost {

inline constexpr std::uint64_t kVariable = 2;        // a call's variable or argument: set up, and cleared at the end
inline constexpr std::uint64_t kAlloc = 32;          // making a string, object or array
inline constexpr std::uint64_t kNewName = 1000;      // a field name first made at run time: hashed and kept
inline constexpr std::uint64_t kField = 8;           // adding a field or an item
inline constexpr std::uint64_t kBuiltin = 4;         // calling a built-in function
inline constexpr std::uint64_t kFormat = 64;         // turning a number into text
inline constexpr std::uint64_t kShownPart = 14;      // each field or item of an object or array turned into text
inline constexpr std::uint64_t kAppend = 14;         // growing a string in place
inline constexpr std::uint64_t kCandidate = 9;       // a place where a search compares: a call to compare
inline constexpr std::uint64_t kCollect = 48;        // each object, array, field or item the collector visits: a pointer chased
inline constexpr std::uint64_t kDivide = 8;          // '/' and '%': a division takes several times an addition
inline constexpr std::size_t kPeakBytesPerStep = 4;  // bytes by which the memory in use passes its peak
inline constexpr std::size_t kCopiedPerStep = 4;     // bytes copied into new memory
inline constexpr std::size_t kScannedPerStep = 12;   // bytes hashed or read as a number
inline constexpr std::size_t kComparedPerStep = 72;  // bytes compared, or searched for a byte
inline constexpr std::size_t kWalkedPerStep = 8;     // bytes walked to find a character by its index
inline constexpr std::size_t kCountedPerStep = 32;   // bytes whose characters are counted

inline std::uint64_t Copied(std::size_t bytes)
{
    return bytes / kCopiedPerStep;
}

inline std::uint64_t Scanned(std::size_t bytes)
{
    return bytes / kScannedPerStep;
}

inline std::uint64_t Compared(std::size_t bytes)
{
    return bytes / kComparedPerStep;
}

inline std::uint64_t Walked(std::size_t bytes)
{
    return bytes / kWalkedPerStep;
}

inline std::uint64_t Counted(std::size_t bytes)
{
    return bytes / kCountedPerStep;
}

} // namespace qav::cost
