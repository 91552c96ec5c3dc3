// The machinery for functions of our own that take the place of a library's
// imports (DivertImports). A library and the modules it brought may bind the
// same name to different modules (msvcrt.dll's exit, ucrtbase.dll's exit), so
// each diverted function has a few slots, one per distinct original: the
// replacement in slot S passes calls on to the original of slot S.
//
// A diverted function F is a class template over the slot, with a base that
// holds the originals (named by the base itself, so that two functions of one
// type keep their own):
//   struct ExitOriginals : Originals<ExitOriginals, void(__cdecl*)(int)> {};
//   template <size_t S> struct DivertedExit : ExitOriginals {
//       static void __cdecl Call(int code) { ...; original[S](code); }
//   };
// and Divert<DivertedExit> is the ImportDiversion's replacement function.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

inline constexpr size_t DivertedSlots = 4;

template <class Tag, class Fn>
struct Originals {
    using Function = Fn;
    static inline Fn original[DivertedSlots] = {};

    // The slot of this original, taking a free one for a new one; -1 when all are taken.
    static int SlotOf(Fn function) noexcept
    {
        for (size_t s = 0; s < DivertedSlots; ++s) {
            if (original[s] == function)
                return static_cast<int>(s);
            if (!original[s]) {
                original[s] = function;
                return static_cast<int>(s);
            }
        }
        return -1;
    }
};

template <template <size_t> class Diverted, size_t... S>
constexpr auto SlotCalls(std::index_sequence<S...>)
{
    return std::array{&Diverted<S>::Call...};
}

// For ImportDiversion::replacement: the slot's replacement for the original.
template <template <size_t> class Diverted>
void* Divert(void* original) noexcept
{
    using Fn = typename Diverted<0>::Function;
    static constexpr auto calls = SlotCalls<Diverted>(std::make_index_sequence<DivertedSlots>{});
    const int slot = Diverted<0>::SlotOf(reinterpret_cast<Fn>(original));
    return slot < 0 ? nullptr : reinterpret_cast<void*>(calls[static_cast<size_t>(slot)]);
}
