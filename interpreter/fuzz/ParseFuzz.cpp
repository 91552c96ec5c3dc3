// libFuzzer target: any bytes through the lexer, parser and resolver.
#include "interpreter/core/Error.h"
#include "interpreter/core/Compiler.h"
#include "interpreter/core/Utf.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (qav::ValidUtf8Prefix(text) != text.size())
        return 0;
    try {
        qav::Program program;
        qav::Compile(text, program);
    } catch (const qav::ScriptError&) {
    }
    return 0;
}
