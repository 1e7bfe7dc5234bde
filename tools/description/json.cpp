#include "tools/description/json.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace tools::description::json {

std::string toString(const Position& where)
{
    return std::to_string(where.line) + ":" + std::to_string(where.column);
}

const Value* Value::find(const std::string& key) const
{
    for (const auto& member : members) {
        if (member.first == key)
            return &member.second;
    }
    return nullptr;
}

const char* typeName(Value::Type type)
{
    switch (type) {
    case Value::Type::Null:
        return "null";
    case Value::Type::Bool:
        return "a boolean";
    case Value::Type::Number:
        return "a number";
    case Value::Type::String:
        return "a string";
    case Value::Type::Array:
        return "a list";
    case Value::Type::Object:
        return "an object";
    }
    return "?";
}

namespace {

// Deep enough for any description; keeps hostile input off the stack's end.
constexpr int kMaxDepth = 128;

struct Failure {
    Position where;
    std::string message;
};

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    void document(Value& out)
    {
        skipSpace();
        value(out, 0);
        skipSpace();
        if (!atEnd())
            fail("unexpected " + describeHere() + " after the document");
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    void advance()
    {
        if (atEnd())
            return;
        unsigned char c = static_cast<unsigned char>(text_[pos_++]);
        if (c == '\n') {
            ++where_.line;
            where_.column = 1;
        } else if ((c & 0xC0) != 0x80) {
            // Columns count characters: UTF-8 continuation bytes add none.
            ++where_.column;
        }
    }

    [[noreturn]] void fail(const std::string& message) const { throw Failure{where_, message}; }
    [[noreturn]] void failAt(const Position& where, const std::string& message) const
    {
        throw Failure{where, message};
    }

    std::string describeHere() const
    {
        if (atEnd())
            return "end of file";
        unsigned char c = static_cast<unsigned char>(peek());
        if (c < 0x20 || c >= 0x7F)
            return "character " + std::to_string(c);
        return std::string("'") + char(c) + "'";
    }

    void skipSpace()
    {
        for (;;) {
            char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                advance();
            } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
                while (!atEnd() && peek() != '\n')
                    advance();
            } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*') {
                Position start = where_;
                advance();
                advance();
                for (;;) {
                    if (atEnd())
                        failAt(start, "comment is not closed");
                    if (peek() == '*' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
                        advance();
                        advance();
                        break;
                    }
                    advance();
                }
            } else {
                return;
            }
        }
    }

    void expect(char c)
    {
        if (peek() != c)
            fail(std::string("expected '") + c + "', found " + describeHere());
        advance();
    }

    bool literal(const char* word)
    {
        size_t n = std::char_traits<char>::length(word);
        if (text_.compare(pos_, n, word) != 0)
            return false;
        // "nullx" is not null followed by garbage we would report oddly.
        char after = pos_ + n < text_.size() ? text_[pos_ + n] : '\0';
        if (std::isalnum(static_cast<unsigned char>(after)) || after == '_')
            return false;
        for (size_t i = 0; i < n; ++i)
            advance();
        return true;
    }

    void value(Value& out, int depth)
    {
        if (depth > kMaxDepth)
            fail("nesting is too deep");
        out = Value();
        out.where = where_;
        char c = peek();
        if (c == '{') {
            object(out, depth);
        } else if (c == '[') {
            array(out, depth);
        } else if (c == '"') {
            out.type = Value::Type::String;
            out.text = string();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            out.type = Value::Type::Number;
            out.number = number();
        } else if (literal("true")) {
            out.type = Value::Type::Bool;
            out.boolean = true;
        } else if (literal("false")) {
            out.type = Value::Type::Bool;
        } else if (literal("null")) {
            out.type = Value::Type::Null;
        } else if (atEnd()) {
            fail("expected a value, found end of file");
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            std::string word;
            for (size_t i = pos_; i < text_.size() && std::isalnum(static_cast<unsigned char>(text_[i])); ++i)
                word += text_[i];
            fail("unknown word '" + word + "' (strings need double quotes)");
        } else {
            fail("expected a value, found " + describeHere());
        }
    }

    void object(Value& out, int depth)
    {
        out.type = Value::Type::Object;
        advance();  // {
        skipSpace();
        while (peek() != '}') {
            if (peek() != '"')
                fail("expected a quoted key or '}', found " + describeHere());
            Position keyWhere = where_;
            std::string key = string();
            for (const auto& member : out.members) {
                if (member.first == key)
                    failAt(keyWhere, "duplicate key \"" + key + "\"");
            }
            skipSpace();
            expect(':');
            skipSpace();
            out.members.emplace_back(key, Value());
            out.keyPositions.push_back(keyWhere);
            value(out.members.back().second, depth + 1);
            skipSpace();
            if (peek() == ',') {
                advance();
                skipSpace();
            } else if (peek() != '}') {
                fail("expected ',' or '}', found " + describeHere());
            }
        }
        advance();  // }
    }

    void array(Value& out, int depth)
    {
        out.type = Value::Type::Array;
        advance();  // [
        skipSpace();
        while (peek() != ']') {
            if (atEnd())
                fail("expected a value or ']', found end of file");
            out.items.emplace_back();
            value(out.items.back(), depth + 1);
            skipSpace();
            if (peek() == ',') {
                advance();
                skipSpace();
            } else if (peek() != ']') {
                fail("expected ',' or ']', found " + describeHere());
            }
        }
        advance();  // ]
    }

    unsigned hex4()
    {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = peek();
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = unsigned(c - 'A' + 10);
            else
                fail("\\u needs four hexadecimal digits");
            code = code * 16 + digit;
            advance();
        }
        return code;
    }

    static void appendUtf8(std::string& to, unsigned code)
    {
        if (code < 0x80) {
            to += char(code);
        } else if (code < 0x800) {
            to += char(0xC0 | (code >> 6));
            to += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            to += char(0xE0 | (code >> 12));
            to += char(0x80 | ((code >> 6) & 0x3F));
            to += char(0x80 | (code & 0x3F));
        } else {
            to += char(0xF0 | (code >> 18));
            to += char(0x80 | ((code >> 12) & 0x3F));
            to += char(0x80 | ((code >> 6) & 0x3F));
            to += char(0x80 | (code & 0x3F));
        }
    }

    std::string string()
    {
        Position start = where_;
        advance();  // "
        std::string result;
        for (;;) {
            if (atEnd())
                failAt(start, "string is not closed");
            char c = peek();
            if (c == '"') {
                advance();
                return result;
            }
            if (c == '\n')
                failAt(start, "string is not closed before the end of the line");
            if (static_cast<unsigned char>(c) < 0x20)
                fail("control character in a string");
            if (c != '\\') {
                result += c;
                advance();
                continue;
            }
            advance();
            char e = peek();
            switch (e) {
            case '"':
            case '\\':
            case '/':
                result += e;
                break;
            case 'b':
                result += '\b';
                break;
            case 'f':
                result += '\f';
                break;
            case 'n':
                result += '\n';
                break;
            case 'r':
                result += '\r';
                break;
            case 't':
                result += '\t';
                break;
            case 'u': {
                advance();
                unsigned code = hex4();
                if (code >= 0xD800 && code < 0xDC00 && peek() == '\\' && pos_ + 1 < text_.size() &&
                    text_[pos_ + 1] == 'u') {
                    advance();
                    advance();
                    unsigned low = hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        fail("bad UTF-16 surrogate pair");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xD800 && code < 0xE000) {
                    fail("bad UTF-16 surrogate pair");
                }
                appendUtf8(result, code);
                continue;
            }
            default:
                fail("unknown escape '\\" + std::string(1, e) + "'");
            }
            advance();
        }
    }

    double number()
    {
        Position start = where_;
        size_t begin = pos_;
        auto digits = [&] {
            size_t count = 0;
            while (peek() >= '0' && peek() <= '9') {
                advance();
                ++count;
            }
            return count;
        };
        if (peek() == '-')
            advance();
        if (peek() == '0') {
            advance();
            if (peek() >= '0' && peek() <= '9')
                failAt(start, "numbers do not start with 0");
        } else if (digits() == 0) {
            failAt(start, "bad number");
        }
        if (peek() == '.') {
            advance();
            if (digits() == 0)
                fail("expected a digit after '.'");
        }
        if (peek() == 'e' || peek() == 'E') {
            advance();
            if (peek() == '+' || peek() == '-')
                advance();
            if (digits() == 0)
                fail("expected a digit in the exponent");
        }
        double result = 0;
        auto [end, ec] = std::from_chars(text_.data() + begin, text_.data() + pos_, result);
        (void)end;
        if (ec != std::errc() || !std::isfinite(result))
            failAt(start, "number out of range");
        return result;
    }

    const std::string& text_;
    size_t pos_ = 0;
    Position where_;
};

}  // namespace

bool parse(const std::string& text, Value& out, std::string* error)
{
    try {
        Parser(text).document(out);
        return true;
    } catch (const Failure& failure) {
        if (error)
            *error = toString(failure.where) + ": " + failure.message;
        out = Value();
        return false;
    }
}

}  // namespace tools::description::json
