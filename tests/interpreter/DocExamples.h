// The examples of docs/language.md: each ```qav block and the ```output block after it.
#pragma once

#include <string>
#include <vector>

struct DocExample {
    int line = 0; // where the example starts in the document
    std::string program;
    std::string result;
    std::string log; // lines joined by "\n"
};

std::vector<DocExample> ReadDocExamples(const char* path);
