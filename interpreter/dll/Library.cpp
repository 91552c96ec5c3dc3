// The exported surface of QAV.dll: the two entry points and the interface object,
// whose operations hand out UTF-16 texts that the library keeps until its next call.
#include "Interpreter.h"
#include "Utf.h"

#include <QAVInterface.h>

#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>

static_assert(sizeof(QAV_CHAR) == sizeof(char16_t), "QAV_CHAR holds one UTF-16 code unit");

namespace {

struct Session {
    QAV_INTERFACE iface; // first member: the interface pointer is the session's address
    std::u16string version;
    std::u16string result;
    std::u16string log;
    std::u16string variables;
    std::u16string parameters;
    std::u16string objects;
    std::u16string functions;
};

std::mutex g_lock;
std::set<Session*> g_sessions;

const QAV_CHAR* Out(const std::u16string& text)
{
    return reinterpret_cast<const QAV_CHAR*>(text.c_str());
}

// A session only if the library handed it out and it is still live.
Session* Live(QAV_INTERFACE* self)
{
    auto* session = reinterpret_cast<Session*>(self);
    std::lock_guard guard(g_lock);
    return g_sessions.count(session) != 0 ? session : nullptr;
}

template <std::u16string Session::*Member>
const QAV_CHAR* QAV_CALL TextOf(QAV_INTERFACE* self)
{
    Session* session = Live(self);
    return session != nullptr ? Out(session->*Member) : nullptr;
}

// A run that failed outside the language: the texts say so, the stacks are empty.
void Report(Session& session, const std::u16string& message) noexcept
{
    for (std::u16string* text : {&session.result, &session.log, &session.variables, &session.parameters,
                                 &session.objects, &session.functions})
        text->clear();
    try {
        session.result = u"Run failed: " + message;
        session.log = u"Error: " + message;
    } catch (...) {
    }
}

const QAV_CHAR* QAV_CALL Execute(QAV_INTERFACE* self, const QAV_CHAR* program, const QAV_CHAR*, int32_t)
{
    Session* session = Live(self);
    if (session == nullptr)
        return nullptr;
    try {
        std::u16string_view text;
        if (program != nullptr)
            text = reinterpret_cast<const char16_t*>(program);
        const qav::RunReport report = qav::Run(text);
        session->result = qav::Utf8ToUtf16(report.result);
        session->log = qav::JoinLines(report.log);
        session->variables = qav::JoinLines(report.variables);
        session->parameters = qav::JoinLines(report.parameters);
        session->objects = qav::JoinLines(report.objects);
        session->functions = qav::JoinLines(report.functions);
    } catch (const std::bad_alloc&) {
        Report(*session, u"out of memory");
    } catch (...) {
        Report(*session, u"internal error in the interpreter");
    }
    return Out(session->result);
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
        session->version = qav::Utf8ToUtf16(qav::VersionText());
        std::lock_guard guard(g_lock);
        g_sessions.insert(session.get());
        *slot = &session.release()->iface;
        return 1;
    } catch (...) {
        return 0;
    }
}

extern "C" int32_t QAV_CALL FreeQAVInterface(QAV_INTERFACE** slot)
{
    if (slot == nullptr || *slot == nullptr)
        return 0;
    auto* session = reinterpret_cast<Session*>(*slot);
    {
        std::lock_guard guard(g_lock);
        if (g_sessions.erase(session) == 0)
            return 0;
    }
    delete session;
    *slot = nullptr;
    return 1;
}
