// Times LocateInHeaps, the lookup qavcheck makes for every text a call returns:
// for a static text, for one at the start of a heap block, inside the last
// block allocated, and in a freed block, while the heaps hold from a thousand to
// a million blocks in use besides. Prints the median of several lookups each.
#include "tools/qavcheck/HeapPlace.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kLookups = 9;
const wchar_t StaticText[] = L"a static text";

double MedianMicroseconds(uintptr_t address, HeapPlace expected, const char* what)
{
    // No allocation here: it could take the freed block being looked up.
    std::array<double, kLookups> times{};
    for (double& time : times) {
        const auto start = std::chrono::steady_clock::now();
        const HeapPlace place = LocateInHeaps(address);
        time = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        if (place != expected)
            std::printf("  (%s: found %d, expected %d)\n", what, static_cast<int>(place), static_cast<int>(expected));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    std::vector<std::unique_ptr<std::wstring>> live;
    std::printf("qavcheck's freed-text lookup, median of %d, in microseconds\n", kLookups);
    std::printf("%10s %10s %12s %12s %12s\n", "blocks", "static", "block start", "last block", "freed");
    for (const size_t blocks : {size_t{1000}, size_t{10'000}, size_t{100'000}, size_t{1'000'000}}) {
        while (live.size() < blocks)
            live.push_back(std::make_unique<std::wstring>(40, L'x'));
        auto last = std::make_unique<std::wstring>(40, L'y');
        auto freed = std::make_unique<std::wstring>(40, L'z');
        const auto freedAt = reinterpret_cast<uintptr_t>(freed->c_str());
        freed.reset();
        const double inImage = MedianMicroseconds(reinterpret_cast<uintptr_t>(StaticText), HeapPlace::Image, "static");
        const double start =
            MedianMicroseconds(reinterpret_cast<uintptr_t>(live.front()->c_str()), HeapPlace::InUse, "first");
        const double end = MedianMicroseconds(reinterpret_cast<uintptr_t>(last->c_str()), HeapPlace::InUse, "last");
        const double gone = MedianMicroseconds(freedAt, HeapPlace::Freed, "freed");
        std::printf("%10zu %10.1f %12.1f %12.1f %12.1f\n", blocks * 2 + 2, inImage, start, end, gone);
    }
    return 0;
}
