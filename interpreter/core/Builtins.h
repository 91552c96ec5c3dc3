// The functions built into the language, by name and number of arguments. The machine
// runs them (Machine::CallBuiltin, in Builtins.cpp).
#pragma once

#include <string_view>

namespace qav {

enum class Builtin { Len, Push, Pop, Str, Num, Substr, Find, Floor, Sqrt, Abs, Keys, Has, Type };

struct BuiltinInfo {
    std::string_view name;
    int arity;
    bool pure; // changes no variable, field or item
};

// The built-in function of a name, or -1 when there is none.
int FindBuiltin(std::string_view name);

const BuiltinInfo& BuiltinAt(int id);

} // namespace qav
