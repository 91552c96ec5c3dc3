#include "interpreter/core/Interpreter.h"

#include "interpreter/core/Compiler.h"
#include "interpreter/core/Failure.h"
#include "interpreter/core/Machine.h"
#include "interpreter/core/OwnStack.h"
#include "interpreter/core/Utf.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace qav {

namespace {

// Stack kept free below the evaluator's deepest call, for what it calls there.
constexpr std::size_t kStackMargin = 256 * 1024;
// Stack the evaluator may use on a caller's thread, which has at least 1 MB.
constexpr std::size_t kCallerStackBytes = 512 * 1024;

RunReport Failed(const ScriptError& e)
{
    RunReport report;
    ReportFailure(report, e);
    return report;
}

// Line and column of a position in text, counted as the lexer counts them.
template <typename Text>
ScriptError At(Text text, std::size_t pos, std::string message)
{
    ScriptError e{std::move(message), 1, 1};
    for (std::size_t i = 0; i < pos; ++i) {
        using Unit = std::make_unsigned_t<std::remove_cvref_t<decltype(text[0])>>;
        const std::uint32_t c = static_cast<Unit>(text[i]);
        if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++e.line;
            e.column = 1;
        } else if (c != '\r' && (sizeof(text[0]) == 2 || (c & 0xC0) != 0x80)) {
            e.column += sizeof(text[0]) == 1 && c >= 0xF0 ? 2 : 1;
        }
    }
    return e;
}

// Compiles and runs valid UTF-8 text on the thread it is called on, fills the report
// and calls done; what the run made is freed after that.
void RunHere(std::string_view source, const Limits& limits, RunReport& report, const std::function<void()>& done)
{
    std::unique_ptr<Program> program;
    std::unique_ptr<Machine> machine;
    try {
        program = std::make_unique<Program>();
        Compile(source, *program);
        machine = std::make_unique<Machine>(*program, limits);
        machine->Run(report);
    } catch (const ScriptError& e) {
        report = Failed(e);
    } catch (const std::bad_alloc&) {
        report = Failed(ScriptError{"out of memory", 0, 0});
    } catch (const std::length_error&) {
        report = Failed(ScriptError{"out of memory", 0, 0});
    }
    done();
    machine.reset();
}

} // namespace

RunReport Run(std::string_view source, const Limits& limits)
{
    if (source.size() > limits.sourceBytes)
        return Failed(ScriptError{"program too long: " + std::to_string(source.size()) + " bytes, at most " +
                                      std::to_string(limits.sourceBytes) + " are accepted",
                                  0, 0});
    // A byte-order mark is not part of the program; positions count from after it.
    if (source.starts_with("\xEF\xBB\xBF"))
        source.remove_prefix(3);
    const std::size_t valid = ValidUtf8Prefix(source);
    if (valid != source.size())
        return Failed(At(source, valid, "the text is not valid UTF-8"));
    // The evaluator may use the stack the limits give it; the thread has a margin more
    // for the library calls it makes at its deepest.
    RunReport report;
    const auto run = [&](const std::function<void()>& done) { RunHere(source, limits, report, done); };
    if (RunOnOwnStack(limits.stackBytes + kStackMargin, run))
        return report;
    // No thread to be had: the caller's stack, with what it can surely spare.
    Limits own = limits;
    own.stackBytes = std::min(limits.stackBytes, kCallerStackBytes);
    RunHere(source, own, report, [] {});
    return report;
}

RunReport Run(std::u16string_view source, const Limits& limits)
{
    try {
        if (source.size() > limits.sourceBytes)
            return Failed(ScriptError{"program too long: " + std::to_string(source.size()) +
                                          " characters, at most " + std::to_string(limits.sourceBytes) +
                                          " bytes are accepted",
                                      0, 0});
        if (source.starts_with(u'\xFEFF'))
            source.remove_prefix(1);
        std::string utf8;
        std::size_t bad = 0;
        if (!Utf16ToUtf8(source, utf8, bad))
            return Failed(At(source, bad, "the text holds an unpaired UTF-16 surrogate"));
        return Run(std::string_view(utf8), limits);
    } catch (const std::bad_alloc&) {
        return Failed(ScriptError{"out of memory", 0, 0});
    }
}

const char* VersionText()
{
    return "QAV Script 1.0";
}

} // namespace qav
