#include "Interpreter.h"

#include "Utf.h"

namespace qav {

RunReport Run(std::string_view source, const Limits&)
{
    RunReport report;
    report.result = std::to_string(source.size());
    report.log.push_back("read " + std::to_string(source.size()) + " bytes");
    report.variables.push_back("length = " + std::to_string(source.size()));
    return report;
}

RunReport Run(std::u16string_view source, const Limits& limits)
{
    std::string utf8;
    std::size_t bad = 0;
    if (!Utf16ToUtf8(source, utf8, bad)) {
        RunReport report;
        report.ok = false;
        report.result = "Run failed: invalid text";
        return report;
    }
    return Run(std::string_view(utf8), limits);
}

const char* VersionText()
{
    return "QAV Script 0.1";
}

} // namespace qav
