// A minimal interpreter library for the QAV Demo workbench in C++, to start
// your own from. Each line of the program is an integer expression or an
// assignment, "name = expression", over 32-bit integers: + - * / %, unary
// minus, parentheses, numbers and names. The interpreter reports an error by
// throwing, as most interpreters written in C++ do.
//
// What a library in C++ must take care of, all shown here:
// - No exception may leave a function the workbench calls: every entry point
//   runs its body through Guarded (below), which turns any exception into an
//   error text. Without it, a 32-bit library built with MinGW ends the
//   workbench's process (std::terminate, then abort()).
// - Every returned text lives in a std::wstring of the library's until that
//   operation is called again, never in a temporary.
// - StopQAVInterface only sets a flag, which Execute polls before each line.
// - A call still marked busy when the next one begins was stopped by force:
//   nothing it was doing was finished or undone, so the interpreter starts afresh.
#define QAV_BUILDING_LIBRARY
#include "QAVInterface.h"

#include <atomic>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace {

struct LanguageError {
    std::wstring message;
};

class Interpreter {
public:
    // note: a line for the log of the first run.
    explicit Interpreter(std::wstring note = {}) : note_(std::move(note)) {}

    // Runs every line; the result is the last line's value or its error.
    std::wstring Run(const std::wstring& program, const std::atomic<bool>& stop)
    {
        log_ = std::move(note_);
        note_.clear();
        values_.clear();
        std::wstring result = L"0";
        int line = 0;
        for (size_t start = 0; start < program.size();) {
            if (stop)
                return L"error: stopped";
            size_t end = program.find_first_of(L"\r\n", start);
            if (end == std::wstring::npos)
                end = program.size();
            const std::wstring text = program.substr(start, end - start);
            start = program.find_first_not_of(L"\r\n", end);
            if (start == std::wstring::npos)
                start = program.size();
            if (text.find_first_not_of(L" \t") == std::wstring::npos)
                continue;
            ++line;
            try {
                result = std::to_wstring(Line(text));
                values_ += L" " + result;
                Say(L"line " + std::to_wstring(line) + L" = " + result);
            } catch (const LanguageError& error) {
                result = L"error: " + error.message;
                Say(L"line " + std::to_wstring(line) + L": " + result);
            }
        }
        return result;
    }

    const std::wstring& Log() const { return log_; }
    std::wstring Values() const { return L"values:" + values_; }
    std::wstring Evaluations() const { return L"evaluate: called " + std::to_wstring(evaluations_) + L" times"; }

    std::wstring Variables() const
    {
        std::wstring text;
        for (const auto& [name, value] : variables_)
            text += (text.empty() ? L"" : L"\r\n") + name + L" = " + std::to_wstring(value);
        return text;
    }

private:
    long long Line(const std::wstring& text)
    {
        at_ = text.c_str();
        ++evaluations_;
        std::wstring name;
        const wchar_t* const begin = at_;
        if (Skip(), IsLetter(*at_)) {
            name = Name();
            if (Skip(), *at_ != L'=') {
                at_ = begin;
                name.clear();
            } else {
                ++at_;
            }
        }
        const long long value = Sum(0);
        if (Skip(), *at_)
            throw LanguageError{L"unexpected character"};
        if (!name.empty())
            variables_[name] = value;
        return value;
    }

    long long Sum(int depth)
    {
        long long value = Product(depth);
        for (Skip(); *at_ == L'+' || *at_ == L'-'; Skip()) {
            const wchar_t op = *at_++;
            value = Fit(op == L'+' ? value + Product(depth) : value - Product(depth));
        }
        return value;
    }

    long long Product(int depth)
    {
        long long value = Factor(depth);
        for (Skip(); *at_ == L'*' || *at_ == L'/' || *at_ == L'%'; Skip()) {
            const wchar_t op = *at_++;
            const long long right = Factor(depth);
            if (op != L'*' && right == 0)
                throw LanguageError{L"division by zero"};
            value = Fit(op == L'*' ? value * right : op == L'/' ? value / right : value % right);
        }
        return value;
    }

    long long Factor(int depth)
    {
        if (depth > 100)
            throw LanguageError{L"nested too deeply"};
        Skip();
        if (*at_ == L'-') {
            ++at_;
            return Fit(-Factor(depth + 1));
        }
        if (*at_ == L'(') {
            ++at_;
            const long long value = Sum(depth + 1);
            if (Skip(), *at_++ != L')')
                throw LanguageError{L"missing )"};
            return value;
        }
        if (IsLetter(*at_)) {
            const std::wstring name = Name();
            const auto found = variables_.find(name);
            if (found == variables_.end())
                throw LanguageError{L"unknown name " + name};
            return found->second;
        }
        if (*at_ < L'0' || *at_ > L'9')
            throw LanguageError{L"number expected"};
        long long value = 0;
        while (*at_ >= L'0' && *at_ <= L'9' && value <= Largest)
            value = value * 10 + (*at_++ - L'0');
        return Fit(value);
    }

    static constexpr long long Largest = 2147483647LL;
    static long long Fit(long long value)
    {
        if (value > Largest || value < -Largest - 1)
            throw LanguageError{L"overflow"};
        return value;
    }
    static bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_'; }
    void Skip()
    {
        while (*at_ == L' ' || *at_ == L'\t')
            ++at_;
    }
    std::wstring Name()
    {
        const wchar_t* const begin = at_;
        while (IsLetter(*at_) || (*at_ >= L'0' && *at_ <= L'9'))
            ++at_;
        return std::wstring(begin, at_);
    }

    void Say(const std::wstring& line) { log_ += (log_.empty() ? L"" : L"\r\n") + line; }

    const wchar_t* at_ = L"";
    std::wstring note_;
    std::map<std::wstring, long long> variables_;
    std::wstring log_;
    std::wstring values_;
    long long evaluations_ = 0;
};

// The library's one interface and everything behind it.
struct Library {
    std::unique_ptr<Interpreter> interpreter = std::make_unique<Interpreter>();
    std::atomic<bool> stopAsked{false}; // set by StopQAVInterface, from another thread
    bool busy = false;                  // a call is running, or was stopped by force
    // Each operation's last text, alive until it is called again.
    std::wstring result, log, variables, parameters, objects, functions;
};

std::unique_ptr<Library> library;
QAV_INTERFACE theInterface;

// Marks a call busy while it runs. A call that finds the mark still set follows
// one the workbench stopped by force: its frames were abandoned, no destructor
// ran, so the interpreter may be half-changed and is replaced by a fresh one.
class Busy {
public:
    Busy()
    {
        if (library->busy)
            library->interpreter =
                std::make_unique<Interpreter>(L"The previous call was stopped by force; the interpreter starts afresh.");
        library->busy = true;
    }
    ~Busy() { library->busy = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

// The one wrapper of every operation: body's text, kept in text, or the
// exception it threw as an error text. Nothing leaves it.
template <class Body>
const QAV_CHAR* Guarded(std::wstring& text, Body body) noexcept
{
    try {
        try {
            const Busy busy;
            text = body();
        } catch (const LanguageError& error) {
            text = L"error: " + error.message;
        } catch (const std::bad_alloc&) {
            text = L"error: out of memory";
        } catch (const std::exception& error) {
            const std::string what = error.what();
            text = L"error: " + std::wstring(what.begin(), what.end()); // ASCII, as the runtime's are
        } catch (...) {
            text = L"error: an exception of an unknown kind";
        }
        return text.c_str();
    } catch (...) {
        return L"error: out of memory";
    }
}

const QAV_CHAR* QAV_CALL MinimalGetVersion(QAV_INTERFACE*)
{
    return L"minimal-cpp 1.0";
}

const QAV_CHAR* QAV_CALL MinimalExecute(QAV_INTERFACE*, const QAV_CHAR* program, const QAV_CHAR* options,
                                        int32_t mode)
{
    library->stopAsked = false;
    return Guarded(library->result, [&] {
        const std::wstring result = library->interpreter->Run(program, library->stopAsked);
        library->parameters = L"options = \"" + std::wstring(options) + L"\"\r\nmode = " + std::to_wstring(mode);
        return result;
    });
}

const QAV_CHAR* QAV_CALL MinimalGetLog(QAV_INTERFACE*)
{
    return Guarded(library->log, [] { return library->interpreter->Log(); });
}

const QAV_CHAR* QAV_CALL MinimalGetVarStack(QAV_INTERFACE*)
{
    return Guarded(library->variables, [] { return library->interpreter->Variables(); });
}

const QAV_CHAR* QAV_CALL MinimalGetParamStack(QAV_INTERFACE*)
{
    return Guarded(library->parameters, [] { return library->parameters; });
}

const QAV_CHAR* QAV_CALL MinimalGetObjectStack(QAV_INTERFACE*)
{
    return Guarded(library->objects, [] { return library->interpreter->Values(); });
}

const QAV_CHAR* QAV_CALL MinimalGetFunctionStack(QAV_INTERFACE*)
{
    return Guarded(library->functions, [] { return library->interpreter->Evaluations(); });
}

const QAV_VTABLE table = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    MinimalGetVersion, MinimalGetVarStack, MinimalGetObjectStack, nullptr, nullptr, MinimalGetLog, MinimalExecute,
    nullptr, MinimalGetFunctionStack, MinimalGetParamStack,
};

} // namespace

int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    try {
        if (!slot)
            return 0;
        library = std::make_unique<Library>();
        theInterface.Table = &table;
        *slot = &theInterface;
        return 1;
    } catch (...) {
        return 0;
    }
}

// Only sets the flag that Execute polls: the workbench calls it from another thread.
int32_t QAV_CALL StopQAVInterface(QAV_INTERFACE**)
{
    if (library)
        library->stopAsked = true;
    return 1;
}

int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    if (!slot || *slot != &theInterface)
        return 0;
    library.reset();
    *slot = nullptr;
    return 1;
}
