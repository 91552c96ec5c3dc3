// Splits one big text with StrToList and with a version that deletes each item
// from the front of the remaining text, and prints both times and their ratio.
#include "tests/util/LiteralSplit.h"
#include "util/Myfunc.h"

#include "framework/Strings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

void LiteralStrToList(TStrings& list, const UnicodeString& text, const UnicodeString& delimiter)
{
    list.Clear();
    LiteralSplit(text, delimiter, [&list](const UnicodeString& item) { list.Add(item); });
}

// Lines of 18 characters and CR LF: 20 characters each.
UnicodeString MakeText(int lines)
{
    UnicodeString text;
    text.reserve(static_cast<size_t>(lines) * 20);
    for (int i = 0; i < lines; ++i) {
        wchar_t line[32];
        std::swprintf(line, 32, L"line %07d val=%c\r\n", i, static_cast<wchar_t>(L'a' + i % 26));
        text += line;
    }
    return text;
}

template <typename Split>
double Seconds(Split split, const UnicodeString& text, TStringList& list)
{
    const auto start = std::chrono::steady_clock::now();
    split(list, text, L"0");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int lines = argc > 1 ? std::atoi(argv[1]) : 500000;
    const UnicodeString text = MakeText(lines);
    TStringList ours;
    TStringList literal;
    const double oursSeconds = Seconds(StrToList, text, ours);
    const double literalSeconds = Seconds(LiteralStrToList, text, literal);
    std::printf("text: %d lines, %zu characters\n", lines, text.size());
    std::printf("StrToList:          %10.3f s, %d items\n", oursSeconds, ours.Count());
    std::printf("delete from front:  %10.3f s, %d items\n", literalSeconds, literal.Count());
    std::printf("ratio literal/ours: %10.1f\n", literalSeconds / oursSeconds);
    if (ours.Items() != literal.Items()) {
        std::printf("the two splits differ\n");
        return 1;
    }
    return 0;
}
