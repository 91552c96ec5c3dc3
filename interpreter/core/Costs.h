// What work costs in steps, beyond the parts of the program that run. The step budget
// is meant to bound time, so each kind of work is charged about what it takes next to
// a simple part such as reading a variable (about a nanosecond on a desktop machine).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav::cost {

inline constexpr std::uint64_t kAlloc = 48;         // making a string, object or array
inline constexpr std::uint64_t kNewName = 400;      // a field name first made at run time
inline constexpr std::uint64_t kField = 8;          // adding a field or an item
inline constexpr std::uint64_t kBuiltin = 4;        // calling a built-in function
inline constexpr std::uint64_t kFormat = 24;        // turning a number into text
inline constexpr std::uint64_t kCandidate = 4;      // a place where a search compares
inline constexpr std::uint64_t kCollect = 12;        // each object, array, field or item the collector visits
inline constexpr std::uint64_t kPeakByte = 4;       // each byte by which the memory in use passes its peak
inline constexpr std::size_t kCopiedPerStep = 4;    // bytes copied into new memory
inline constexpr std::size_t kScannedPerStep = 16;  // bytes compared, hashed or searched

inline std::uint64_t Copied(std::size_t bytes)
{
    return bytes / kCopiedPerStep;
}

inline std::uint64_t Scanned(std::size_t bytes)
{
    return bytes / kScannedPerStep;
}

} // namespace qav::cost
