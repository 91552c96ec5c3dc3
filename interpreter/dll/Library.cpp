// The exported surface of QAV.dll: its three entry points and the interface object,
// whose operations hand out UTF-16 texts that the library keeps until its next call.
#include "interpreter/core/Failure.h"
#include "interpreter/core/Interpreter.h"
#include "interpreter/core/Options.h"
#include "interpreter/core/Utf.h"

#include "contract/QAVInterface.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

static_assert(sizeof(QAV_CHAR) == sizeof(char16_t), "QAV_CHAR holds one UTF-16 code unit");

namespace {

using Text = std::basic_string<QAV_CHAR>;

struct Session {
    QAV_INTERFACE iface;
    // Set by StopQAVInterface from the host's other thread; the running Execute polls it.
    std::atomic<bool> stop{false};
    Text version;
    Text result;
    Text log;
    Text variables;
    Text parameters;
    Text objects;
    Text functions;
};

// Every interface handed out and not yet given back, by the address the workbench holds.
std::mutex g_lock;
std::map<const QAV_INTERFACE*, std::unique_ptr<Session>> g_sessions;

// UTF-16 code units copied one by one between the core's type and the contract's.
Text Out(const std::u16string& text)
{
    return Text(text.begin(), text.end());
}

std::u16string In(const QAV_CHAR* text)
{
    std::u16string out;
    if (text != nullptr)
        for (const QAV_CHAR* p = text; *p != 0; ++p)
            out += static_cast<char16_t>(*p);
    return out;
}

// A session only if the library handed it out and it is still live.
Session* Live(const QAV_INTERFACE* self) noexcept
{
    try {
        std::lock_guard guard(g_lock);
        const auto it = g_sessions.find(self);
        return it != g_sessions.end() ? it->second.get() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

template <Text Session::*Member>
const QAV_CHAR* QAV_CALL TextOf(QAV_INTERFACE* self) noexcept
{
    Session* session = Live(self);
    return session != nullptr ? (session->*Member).c_str() : nullptr;
}

// The texts of a run report, each stack's lines joined by CR LF.
void Show(Session& session, const qav::RunReport& report)
{
    session.result = Out(qav::Utf8ToUtf16(report.result));
    session.log = Out(qav::JoinLines(report.log));
    session.variables = Out(qav::JoinLines(report.variables));
    session.parameters = Out(qav::JoinLines(report.parameters));
    session.objects = Out(qav::JoinLines(report.objects));
    session.functions = Out(qav::JoinLines(report.functions));
}

// A run that failed outside the language: the texts say so, the stacks are empty.
void Report(Session& session, const char* message) noexcept
{
    for (Text* text : {&session.result, &session.log, &session.variables, &session.parameters,
                                 &session.objects, &session.functions})
        text->clear();
    try {
        qav::RunReport report;
        qav::ReportFailure(report, qav::ScriptError{message, 0, 0});
        Show(session, report);
    } catch (...) {
    }
}

const QAV_CHAR* QAV_CALL Execute(QAV_INTERFACE* self, const QAV_CHAR* program, const QAV_CHAR* options,
                                 int32_t) noexcept
{
    Session* session = Live(self);
    if (session == nullptr)
        return nullptr;
    try {
        // The workbench passes no options; another host may set the limits (Options.h).
        // A stop asked for while nothing ran was for no run: this one starts afresh.
        session->stop.store(false);
        qav::Limits limits;
        limits.stop = &session->stop;
        std::string words;
        std::size_t bad = 0;
        const std::string error = qav::Utf16ToUtf8(In(options), words, bad)
                                      ? qav::ApplyOptions(words, limits)
                                      : std::string("the options hold an unpaired UTF-16 surrogate");
        if (!error.empty())
            Report(*session, error.c_str());
        else
            Show(*session, qav::Run(std::u16string_view(In(program)), limits));
    } catch (const std::bad_alloc&) {
        Report(*session, "out of memory");
    } catch (...) {
        Report(*session, "internal error in the interpreter");
    }
    return session->result.c_str();
}

const QAV_VTABLE g_table = [] {
    QAV_VTABLE table{};
    table.GetVersion = &TextOf<&Session::version>;
    table.GetVarStack = &TextOf<&Session::variables>;
    table.GetObjectStack = &TextOf<&Session::objects>;
    table.GetLog = &TextOf<&Session::log>;
    table.Execute = &Execute;
    table.GetFunctionStack = &TextOf<&Session::functions>;
    table.GetParamStack = &TextOf<&Session::parameters>;
    return table;
}();

} // namespace

extern "C" int32_t QAV_CALL GetQAVInterface(QAV_INTERFACE** slot)
{
    if (slot == nullptr)
        return 0;
    try {
        auto session = std::make_unique<Session>();
        session->iface.Table = &g_table;
        session->version = Out(qav::Utf8ToUtf16(qav::VersionText()));
        QAV_INTERFACE* iface = &session->iface;
        std::lock_guard guard(g_lock);
        g_sessions.emplace(iface, std::move(session));
        *slot = iface;
        return 1;
    } catch (...) {
        return 0;
    }
}

// From the host's other thread: only sets the flag, under the lock that keeps the
// session from going meanwhile, and returns at once.
extern "C" int32_t QAV_CALL StopQAVInterface(QAV_INTERFACE** slot)
{
    if (slot == nullptr)
        return 0;
    try {
        std::lock_guard guard(g_lock);
        const auto it = g_sessions.find(*slot);
        if (it == g_sessions.end())
            return 0;
        it->second->stop.store(true);
        return 1;
    } catch (...) {
        return 0;
    }
}

extern "C" int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    if (slot == nullptr || *slot == nullptr)
        return 0;
    std::unique_ptr<Session> session;
    try {
        std::lock_guard guard(g_lock);
        const auto it = g_sessions.find(*slot);
        if (it == g_sessions.end())
            return 0;
        session = std::move(it->second);
        g_sessions.erase(it);
    } catch (...) {
        return 0;
    }
    *slot = nullptr;
    return 1;
}
