// A small JSON reader for hand-written demo descriptions: standard JSON plus
// // and /* */ comments and trailing commas. Every value remembers where it
// starts, so that later checks can point at the line and column.
//
// Kept rather than a library: the JSON libraries at hand (nlohmann/json and
// the like) give values without their place in the text, and every error
// `demotool build` prints is "file:line:col: ..." at the value at fault,
// found long after parsing (an unknown tag, a file that is no image).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tools::description::json {

struct Position {
    int line = 1;
    int column = 1;
};
std::string toString(const Position& where);  // "line:column"

class Value {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    Position where;
    bool boolean = false;
    double number = 0;
    std::string text;                                   // String
    std::vector<Value> items;                           // Array
    std::vector<std::pair<std::string, Value>> members;  // Object, in file order
    std::vector<Position> keyPositions;                 // where each member's key starts

    bool isNull() const { return type == Type::Null; }
    bool isBool() const { return type == Type::Bool; }
    bool isNumber() const { return type == Type::Number; }
    bool isString() const { return type == Type::String; }
    bool isArray() const { return type == Type::Array; }
    bool isObject() const { return type == Type::Object; }
    // Member by key, or none.
    const Value* find(const std::string& key) const;
};

// "null", "a boolean", "a number", "a string", "a list", "an object".
const char* typeName(Value::Type type);

// Parses a whole document (one value, then only white space and comments).
// On failure returns false with "line:column: problem" in *error.
bool parse(const std::string& text, Value& out, std::string* error);

}  // namespace tools::description::json
