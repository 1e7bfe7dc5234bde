#include "tests/support/description.h"

#include <gtest/gtest.h>

#include "tools/description/description.h"

authoring::Bytes compiled(const std::string& text)
{
    authoring::Bytes out;
    std::string error;
    EXPECT_TRUE(authoring::compileDescription(text, out, &error)) << error;
    return out;
}

std::string errorOf(const std::string& text)
{
    authoring::Bytes out;
    std::string error;
    EXPECT_FALSE(authoring::compileDescription(text, out, &error)) << "accepted:\n" << text;
    return error;
}
