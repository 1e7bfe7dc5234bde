#include "tests/support/description.h"

#include <gtest/gtest.h>

#include "tools/description/description.h"

tools::writer::Bytes compiled(const std::string& text)
{
    tools::writer::Bytes out;
    std::string error;
    EXPECT_TRUE(tools::description::compileDescription(text, out, &error)) << error;
    return out;
}

std::string errorOf(const std::string& text)
{
    tools::writer::Bytes out;
    std::string error;
    EXPECT_FALSE(tools::description::compileDescription(text, out, &error)) << "accepted:\n" << text;
    return error;
}
