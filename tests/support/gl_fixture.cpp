#include "tests/support/gl_fixture.h"

void GLTest::SetUp()
{
    ASSERT_TRUE(createGLWindow(window_, "test", kWidth, kHeight, 16, false));
}

void GLTest::TearDown()
{
    releaseGLContext(window_);
    killGLWindow(window_);
}
