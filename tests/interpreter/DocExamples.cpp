#include "tests/interpreter/DocExamples.h"

#include <fstream>
#include <stdexcept>

std::vector<DocExample> ReadDocExamples(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot open ") + path);
    std::vector<DocExample> examples;
    std::string line;
    int number = 0;
    enum { Text, Program, Output } state = Text;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (state == Text) {
            if (line == "```qav") {
                examples.push_back(DocExample{number + 1, "", "", ""});
                state = Program;
            } else if (line == "```output") {
                if (examples.empty() || !examples.back().result.empty())
                    throw std::runtime_error("output block without its example at line " + std::to_string(number));
                state = Output;
            }
        } else if (line == "```") {
            state = Text;
        } else if (state == Program) {
            examples.back().program += line + "\n";
        } else if (line.rfind("Result: ", 0) == 0) {
            examples.back().result = line.substr(8);
        } else if (line.rfind("Log: ", 0) == 0) {
            std::string& log = examples.back().log;
            if (!log.empty())
                log += '\n';
            log += line.substr(5);
        } else {
            throw std::runtime_error("unexpected output line " + std::to_string(number) + ": " + line);
        }
    }
    for (const DocExample& e : examples)
        if (e.result.empty())
            throw std::runtime_error("example at line " + std::to_string(e.line) + " has no result");
    return examples;
}
