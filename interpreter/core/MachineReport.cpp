#include "interpreter/core/Machine.h"

#include "interpreter/core/Failure.h"
#include "interpreter/core/ValueText.h"

namespace qav {

namespace {

// Each stack shows at most this many lines and bytes: enough to read, quick to show.
constexpr std::size_t kMaxDumpLines = 1000;
constexpr std::size_t kMaxDumpBytes = 256 * 1024;

// Adds a line to a stack unless it is already long; then says how many of the total
// were left out, and gives false.
bool AddLine(std::vector<std::string>& lines, std::size_t& bytes, std::size_t total, std::string line)
{
    if (lines.size() >= kMaxDumpLines || bytes + line.size() > kMaxDumpBytes) {
        lines.push_back("... (" + std::to_string(total - lines.size()) + " more)");
        return false;
    }
    bytes += line.size();
    lines.push_back(std::move(line));
    return true;
}

Value Hold(Container* c)
{
    return c->kind == Type::Object ? Value(static_cast<Obj*>(c)) : Value(static_cast<Arr*>(c));
}

} // namespace

void Machine::Fail(const Node* n, const std::string& message)
{
    // The innermost calls, as many as a stack shows.
    failedFrames_.clear();
    std::size_t bytes = 0;
    for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
        std::string line = it->function->name + "(";
        for (std::size_t i = 0; i < it->function->params.size(); ++i) {
            if (i > 0)
                line += ", ";
            line += it->function->params[i] + " = " + Repr(it->base[i]);
        }
        if (!AddLine(failedFrames_, bytes, frames_.size(), line + ")"))
            break;
    }
    failedRoots_.clear();
    ForEachStacked([this](const Value& v) { failedRoots_.push_back(v); });
    throw ScriptError{message, n->line, n->column};
}

void Machine::Fail(const Node* n, const char* message)
{
    Fail(n, std::string(message));
}

void Machine::Checkpoint(const Node* n)
{
    if (steps_ > limits_.steps)
        Fail(n, "step limit reached: the program ran more than " + std::to_string(limits_.steps) + " steps");
    if (limits_.stop != nullptr && limits_.stop->load(std::memory_order_relaxed))
        Fail(n, "stopped on request");
    checkAt_ = std::min(limits_.steps, steps_ + kStepsPerCheck);
}

void Machine::FailDepth(const Node* n)
{
    Fail(n, "call depth limit reached: more than " + std::to_string(limits_.callDepth) + " nested calls");
}

void Machine::FailNegate(const Node* n, const Value& v)
{
    Fail(n, std::string("cannot apply '-' to ") + KindName(v));
}

void Machine::Finish(RunReport& report, const ScriptError* error)
{
    report.steps = steps_;
    report.log = std::move(log_);
    if (logFull_)
        report.log.push_back("(log cut: the program printed more than " + std::to_string(limits_.logBytes) +
                             " bytes)");
    if (error != nullptr) {
        ReportFailure(report, *error);
        last_ = Value();
    } else {
        const std::string_view text = last_.IsString() ? std::string_view(last_.str()->text) : std::string_view();
        if (text.size() > limits_.logBytes)
            report.result = std::string(Cut(text, limits_.logBytes)) + "... (" + std::to_string(text.size()) +
                            " bytes)";
        else
            report.result = Display(last_, heap_.names());
    }
    DumpStacks(report, last_);
}

void Machine::DumpStacks(RunReport& report, const Value& result)
{
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < globals_.size(); ++i)
        if (!AddLine(report.variables, bytes, globals_.size(), program_.globals[i] + " = " + Repr(globals_[i])))
            break;

    report.parameters = std::move(failedFrames_);

    // Objects and arrays reachable from the roots, listed in the order they were made.
    std::vector<Container*> reached;
    auto visit = [&reached](const Value& v) {
        if (v.IsContainer() && v.container()->mark == 0) {
            v.container()->mark = 1;
            reached.push_back(v.container());
        }
    };
    for (const Value& v : globals_)
        visit(v);
    for (const Value& v : failedRoots_)
        visit(v);
    visit(result);
    for (std::size_t i = 0; i < reached.size(); ++i)
        ForEachChild(reached[i], [&visit](Container* c) { visit(Hold(c)); });
    bytes = 0;
    for (Container* c = heap_.oldest(); c != nullptr; c = c->next)
        if (c->mark != 0 && !AddLine(report.objects, bytes, reached.size(), Display(Hold(c), heap_.names())))
            break;

    bytes = 0;
    for (std::size_t i = 0; i < program_.functions.size(); ++i) {
        const Function& f = program_.functions[i];
        std::string line = f.name + "(";
        for (std::size_t k = 0; k < f.params.size(); ++k)
            line += (k > 0 ? ", " : "") + f.params[k];
        line += "): called " + std::to_string(calls_[i]) + (calls_[i] == 1 ? " time" : " times");
        if (!AddLine(report.functions, bytes, program_.functions.size(), std::move(line)))
            break;
    }
}

} // namespace qav
