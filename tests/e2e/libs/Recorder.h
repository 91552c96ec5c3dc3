// What a test library keeps beside itself: the record of every call it
// receives ("calls.txt") and the answers a test scripted for it ("script.txt").
#pragma once

#include <string>

// Appends one line to calls.txt in this library's folder, flushed at once.
// Never throws: a record that cannot be written is lost.
void RecordCall(const std::string& line) noexcept;

// The line of script.txt in this library's folder that starts with the
// operation name and a space, without that prefix; empty when there is none.
std::string ScriptLine(const std::string& operation);
