// The off-screen context the headless player and these tests draw in.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <gtest/gtest.h>

#include "view/desktop/VIEW_EglContext.h"
#include "tests/support/TEST_Support.h"

namespace {

// Clears the current framebuffer to a colour and reads one pixel back.
void clearAndProbe(float r, float g, float b, int x, int y, unsigned char out[4])
{
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, out);
}

TEST(EglContext, GivesACompatibilityContextWithDepthAndStencil)
{
    char error[256];
    VIEW_EglContext *context = VIEW_EglContext::create(40, 30, error, sizeof(error));
    if (context == nullptr)
        TEST_SKIP_WITHOUT() << "no OpenGL: " << error;
    EXPECT_EQ(40, context->width());
    EXPECT_EQ(30, context->height());
    ASSERT_NE(nullptr, glGetString(GL_VERSION));
    // The fixed-function pipeline answers: a matrix stack exists.
    GLint depth = 0, stencil = 0, viewport[4] = {0, 0, 0, 0}, stackDepth = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
    EXPECT_GE(depth, 24);
    EXPECT_EQ(8, stencil);
    EXPECT_EQ(40, viewport[2]);
    EXPECT_EQ(30, viewport[3]);
    EXPECT_EQ(1, stackDepth);

    unsigned char pixel[4];
    clearAndProbe(1, 0.5f, 0, 39, 29, pixel);
    EXPECT_EQ(255, pixel[0]);
    EXPECT_NEAR(128, pixel[1], 1);
    EXPECT_EQ(0, pixel[2]);
    EXPECT_EQ(GL_NO_ERROR, glGetError());

    ASSERT_TRUE(context->resize(70, 10));
    EXPECT_EQ(70, context->width());
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(70, viewport[2]);
    clearAndProbe(0, 0, 1, 69, 9, pixel);
    EXPECT_EQ(255, pixel[2]);
    EXPECT_FALSE(context->resize(0, 10));
    EXPECT_EQ(70, context->width());
    EXPECT_EQ(GL_NO_ERROR, glGetError());
    delete context;
}

TEST(EglContext, ContextsKeepTheirOwnPixels)
{
    char error[256];
    VIEW_EglContext *a = VIEW_EglContext::create(8, 8, error, sizeof(error));
    if (a == nullptr)
        TEST_SKIP_WITHOUT() << "no OpenGL: " << error;
    VIEW_EglContext *b = VIEW_EglContext::create(8, 8, error, sizeof(error));
    ASSERT_NE(nullptr, b) << error;
    unsigned char pixel[4];
    ASSERT_TRUE(a->makeCurrent());
    clearAndProbe(1, 0, 0, 0, 0, pixel);
    ASSERT_TRUE(b->makeCurrent());
    clearAndProbe(0, 1, 0, 0, 0, pixel);
    ASSERT_TRUE(a->makeCurrent());
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(255, pixel[0]);
    EXPECT_EQ(0, pixel[1]);
    delete b;
    // Deleting one context leaves the other usable.
    ASSERT_TRUE(a->makeCurrent());
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(255, pixel[0]);
    delete a;
}

TEST(EglContext, RefusesAnUndrawableSize)
{
    char error[256];
    EXPECT_EQ(nullptr, VIEW_EglContext::create(0, 5, error, sizeof(error)));
    EXPECT_NE(std::string(), error);
    EXPECT_EQ(nullptr, VIEW_EglContext::create(5, -1, nullptr, 0));
}

} // namespace
