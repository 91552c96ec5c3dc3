#include "binding/LibraryStderr.h"

#include "binding/DivertedFunction.h"
#include "binding/FaultGuard.h"
#include "framework/Win.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t KeptBytes = 4096;
constexpr int StderrDescriptor = 2;

// Never destroyed: a library may write while the process ends.
SRWLOCK capturedLock = SRWLOCK_INIT;
std::string* const captured = new std::string;

void Capture(const char* text, size_t size) noexcept
{
    if (!text || size == 0)
        return;
    AcquireSRWLockExclusive(&capturedLock);
    try {
        if (size >= KeptBytes) {
            captured->assign(text + size - KeptBytes, KeptBytes);
        } else {
            captured->append(text, size);
            if (captured->size() > 2 * KeptBytes)
                captured->erase(0, captured->size() - KeptBytes);
        }
    } catch (...) {
        // Without memory the report goes without the library's words.
    }
    ReleaseSRWLockExclusive(&capturedLock);
}

// The function of the C runtime that holds original, by name.
template <class Fn>
Fn RuntimeFunction(const void* original, const char* name) noexcept
{
    HMODULE runtime = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(original), &runtime))
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(runtime, name)));
}

// True when a write through original to stream is one to keep: inside a guarded
// call, to the stream on stderr's descriptor of original's runtime.
bool Keeps(const void* original, FILE* stream) noexcept
{
    if (!stream || !InGuardedCall())
        return false;
    using FilenoFn = int(__cdecl*)(FILE*);
    const auto fileno = RuntimeFunction<FilenoFn>(original, "_fileno");
    return fileno && fileno(stream) == StderrDescriptor;
}

// Formats as the runtime of original does, for the copy kept.
void CaptureFormatted(const void* original, const char* format, va_list args) noexcept
{
    using FormatFn = int(__cdecl*)(char*, size_t, const char*, va_list);
    const auto format_ = RuntimeFunction<FormatFn>(original, "_vsnprintf");
    if (!format_ || !format)
        return;
    // A longer text is cut: the copy keeps what fits.
    char text[1024];
    text[sizeof text - 1] = '\0';
    format_(text, sizeof text - 1, format, args);
    Capture(text, std::strlen(text));
}

struct FputsOriginals : Originals<FputsOriginals, int(__cdecl*)(const char*, FILE*)> {};
template <size_t S>
struct DivertedFputs : FputsOriginals {
    static int __cdecl Call(const char* text, FILE* stream)
    {
        if (text && Keeps(reinterpret_cast<const void*>(original[S]), stream))
            Capture(text, std::strlen(text));
        return original[S](text, stream);
    }
};

struct FwriteOriginals : Originals<FwriteOriginals, size_t(__cdecl*)(const void*, size_t, size_t, FILE*)> {};
template <size_t S>
struct DivertedFwrite : FwriteOriginals {
    static size_t __cdecl Call(const void* data, size_t size, size_t count, FILE* stream)
    {
        if (size != 0 && count <= SIZE_MAX / size && Keeps(reinterpret_cast<const void*>(original[S]), stream))
            Capture(static_cast<const char*>(data), size * count);
        return original[S](data, size, count, stream);
    }
};

// fputc and putc, told apart by their tag.
template <class Tag>
struct CharacterOriginals : Originals<CharacterOriginals<Tag>, int(__cdecl*)(int, FILE*)> {};
template <class Tag>
struct DivertedCharacterWrite {
    template <size_t S>
    struct Slot : CharacterOriginals<Tag> {
        static int __cdecl Call(int c, FILE* stream)
        {
            if (Keeps(reinterpret_cast<const void*>(Slot::original[S]), stream)) {
                const char ch = static_cast<char>(c);
                Capture(&ch, 1);
            }
            return Slot::original[S](c, stream);
        }
    };
};
struct Fputc;
struct Putc;

// On Windows a va_list is a plain pointer to the arguments: the originals take it as one.
using ArgumentList = char*;
static_assert(sizeof(va_list) == sizeof(ArgumentList));

struct VfprintfOriginals : Originals<VfprintfOriginals, int(__cdecl*)(FILE*, const char*, ArgumentList)> {};
template <size_t S>
struct DivertedVfprintf : VfprintfOriginals {
    static int __cdecl Call(FILE* stream, const char* format, va_list args)
    {
        if (Keeps(reinterpret_cast<const void*>(original[S]), stream)) {
            va_list copy;
            va_copy(copy, args);
            CaptureFormatted(reinterpret_cast<const void*>(original[S]), format, copy);
            va_end(copy);
        }
        return original[S](stream, format, args);
    }
};

// fprintf passes its arguments on through the same runtime's vfprintf.
struct FprintfOriginals : Originals<FprintfOriginals, int(__cdecl*)(FILE*, const char*, ...)> {};
template <size_t S>
struct DivertedFprintf : FprintfOriginals {
    static int __cdecl Call(FILE* stream, const char* format, ...)
    {
        using VfprintfFn = int(__cdecl*)(FILE*, const char*, va_list);
        const void* const runtime = reinterpret_cast<const void*>(original[S]);
        va_list args;
        va_start(args, format);
        if (Keeps(runtime, stream)) {
            va_list copy;
            va_copy(copy, args);
            CaptureFormatted(runtime, format, copy);
            va_end(copy);
        }
        const auto vfprintf_ = RuntimeFunction<VfprintfFn>(runtime, "vfprintf");
        const int written = vfprintf_ ? vfprintf_(stream, format, args) : -1;
        va_end(args);
        return written;
    }
};

// The UCRT's one function behind fprintf, vfprintf and printf.
struct CommonVfprintfOriginals
    : Originals<CommonVfprintfOriginals, int(__cdecl*)(unsigned long long, FILE*, const char*, void*, ArgumentList)> {};
template <size_t S>
struct DivertedCommonVfprintf : CommonVfprintfOriginals {
    static int __cdecl Call(unsigned long long options, FILE* stream, const char* format, void* locale, va_list args)
    {
        const void* const runtime = reinterpret_cast<const void*>(original[S]);
        if (Keeps(runtime, stream)) {
            using FormatFn = int(__cdecl*)(unsigned long long, char*, size_t, const char*, void*, va_list);
            if (const auto format_ = RuntimeFunction<FormatFn>(runtime, "__stdio_common_vsprintf")) {
                // With the standard snprintf behaviour a longer text is cut and terminated.
                constexpr unsigned long long StandardSnprintf = 2;
                char text[1024];
                text[0] = '\0';
                va_list copy;
                va_copy(copy, args);
                format_(options | StandardSnprintf, text, sizeof text, format, locale, copy);
                va_end(copy);
                text[sizeof text - 1] = '\0';
                Capture(text, std::strlen(text));
            }
        }
        return original[S](options, stream, format, locale, args);
    }
};

struct WriteOriginals : Originals<WriteOriginals, int(__cdecl*)(int, const void*, unsigned)> {};
template <size_t S>
struct DivertedWrite : WriteOriginals {
    static int __cdecl Call(int descriptor, const void* data, unsigned size)
    {
        if (descriptor == StderrDescriptor && InGuardedCall())
            Capture(static_cast<const char*>(data), size);
        return original[S](descriptor, data, size);
    }
};

constexpr ImportDiversion writers[] = {
    {"fputs", &Divert<DivertedFputs>},
    {"fwrite", &Divert<DivertedFwrite>},
    {"fputc", &Divert<DivertedCharacterWrite<Fputc>::Slot>},
    {"putc", &Divert<DivertedCharacterWrite<Putc>::Slot>},
    {"vfprintf", &Divert<DivertedVfprintf>},
    {"fprintf", &Divert<DivertedFprintf>},
    {"__stdio_common_vfprintf", &Divert<DivertedCommonVfprintf>},
    {"_write", &Divert<DivertedWrite>},
};

} // namespace

std::span<const ImportDiversion> StderrWriters() noexcept
{
    return writers;
}

void ForgetLibraryStderr() noexcept
{
    AcquireSRWLockExclusive(&capturedLock);
    captured->clear();
    ReleaseSRWLockExclusive(&capturedLock);
}

std::string TakeLibraryStderr()
{
    AcquireSRWLockExclusive(&capturedLock);
    std::string text;
    text.swap(*captured);
    ReleaseSRWLockExclusive(&capturedLock);
    return text;
}
