// The description reader: JSON with comments, and errors that say where.
#include <gtest/gtest.h>

#include "tools/description/json.h"

namespace json = tools::description::json;

using json::Value;

namespace {

Value parsed(const std::string& text)
{
    Value v;
    std::string error;
    EXPECT_TRUE(json::parse(text, v, &error)) << error;
    return v;
}

std::string errorOf(const std::string& text)
{
    Value v;
    std::string error;
    EXPECT_FALSE(json::parse(text, v, &error)) << "accepted: " << text;
    return error;
}

}  // namespace

TEST(JsonReader, ReadsEveryKindOfValue)
{
    Value v = parsed(R"({"n": -12.5e1, "i": 0, "t": true, "f": false, "z": null,
                        "s": "a\"b\\c\n\u00e9\ud83d\ude00", "list": [1, [2], {}], "o": {"k": "v"}})");
    ASSERT_TRUE(v.isObject());
    ASSERT_EQ(v.members.size(), 8u);
    EXPECT_EQ(v.members[0].first, "n") << "members keep file order";
    EXPECT_DOUBLE_EQ(v.find("n")->number, -125.0);
    EXPECT_TRUE(v.find("i")->isNumber());
    EXPECT_TRUE(v.find("t")->boolean);
    EXPECT_TRUE(v.find("f")->isBool());
    EXPECT_FALSE(v.find("f")->boolean);
    EXPECT_TRUE(v.find("z")->isNull());
    EXPECT_EQ(v.find("s")->text, "a\"b\\c\n\xC3\xA9\xF0\x9F\x98\x80");
    const Value& list = *v.find("list");
    ASSERT_EQ(list.items.size(), 3u);
    EXPECT_EQ(list.items[1].items[0].number, 2);
    EXPECT_TRUE(list.items[2].isObject());
    EXPECT_EQ(v.find("o")->find("k")->text, "v");
    EXPECT_EQ(v.find("missing"), nullptr);
}

TEST(JsonReader, CommentsAndTrailingCommasAreAllowed)
{
    Value v = parsed(
        "// leading comment\n"
        "{ /* block\n comment */ \"a\": [1, 2, /* inside */ 3,], // after\n"
        "  \"b\": {\"c\": \"// not a comment\", \"d\": \"/* nor this */\",},\n"
        "}\n// trailing");
    ASSERT_EQ(v.find("a")->items.size(), 3u);
    EXPECT_EQ(v.find("b")->find("c")->text, "// not a comment");
    EXPECT_EQ(v.find("b")->find("d")->text, "/* nor this */");
}

TEST(JsonReader, ValuesKnowTheirLineAndColumn)
{
    Value v = parsed("{\n  \"a\": 1,\n  \"bb\": [true,\n    \"x\"]\n}");
    EXPECT_EQ(json::toString(v.where), "1:1");
    EXPECT_EQ(json::toString(v.find("a")->where), "2:8");
    EXPECT_EQ(json::toString(v.keyPositions[1]), "3:3");
    EXPECT_EQ(json::toString(v.find("bb")->items[1].where), "4:5");
}

TEST(JsonReader, ColumnsCountCharactersNotBytes)
{
    Value v = parsed("{\"é\": \"ü\", \"k\": 2}");
    EXPECT_EQ(json::toString(v.find("k")->where), "1:17");
}

TEST(JsonErrors, SayLineColumnAndWhat)
{
    EXPECT_EQ(errorOf("{\n  \"a\": 1\n  \"b\": 2\n}"), "3:3: expected ',' or '}', found '\"'");
    EXPECT_EQ(errorOf("{\"a\": tru}"), "1:7: unknown word 'tru' (strings need double quotes)");
    EXPECT_EQ(errorOf("{\"a\": 1, \"a\": 2}"), "1:10: duplicate key \"a\"");
    EXPECT_EQ(errorOf("[1, 2"), "1:6: expected ',' or ']', found end of file");
    EXPECT_EQ(errorOf("{\"a\": \"open\n}"), "1:7: string is not closed before the end of the line");
    EXPECT_EQ(errorOf("[1] /* never closed"), "1:5: comment is not closed");
    EXPECT_EQ(errorOf("[1] 2"), "1:5: unexpected '2' after the document");
    EXPECT_EQ(errorOf(""), "1:1: expected a value, found end of file");
    EXPECT_EQ(errorOf("{key: 1}"), "1:2: expected a quoted key or '}', found 'k'");
    EXPECT_EQ(errorOf("[\"\\x\"]"), "1:4: unknown escape '\\x'");
}

TEST(JsonErrors, MalformedNumbersAndStrings)
{
    for (const char* text : {"[01]", "[1.]", "[.5]", "[1e]", "[-]", "[+1]", "[1e999]", "[\"\\u12\"]",
                             "[\"\\ud800\"]", "[\"tab\there\"]", "{\"a\" 1}", "[,]", "{,}", "[1,,2]"}) {
        Value v;
        std::string error;
        EXPECT_FALSE(json::parse(text, v, &error)) << text;
        EXPECT_NE(error.find("1:"), std::string::npos) << text << " -> " << error;
    }
}

TEST(JsonErrors, DeepNestingIsRefusedNotCrashed)
{
    std::string deep(100000, '[');
    std::string error = errorOf(deep);
    EXPECT_NE(error.find("nesting is too deep"), std::string::npos) << error;
}
