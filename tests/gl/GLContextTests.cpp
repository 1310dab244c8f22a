// GLContext on real windows: the pixel format the multisample probe gives
// the window, the current-context brackets and the DCs they take and return,
// and the frame a paint bracket puts on show, read back from the window.

#include "gl/GLContext.h"

#include "PlainWindow.h"
#include "tests/support/GLTestWindow.h"

#include <gtest/gtest.h>

#include <GL/glext.h>
#include <GL/wglext.h>

#include <string>
#include <vector>

namespace {

const int kWidth = 96;
const int kHeight = 64;
const std::string kProbeClass = std::string("RegisterClassExA ") + GLContext::probeClassName;
const std::string kProbeWindow = std::string("CreateWindowExA ") + GLContext::probeClassName;

// WGL_SAMPLES_ARB of the window's pixel format, asked with the context
// current; -1 when it cannot be asked.
int windowSamples(GLContext& context)
{
    context.makeCurrent(nullptr);
    int samples = -1;
    const auto getAttributes = reinterpret_cast<PFNWGLGETPIXELFORMATATTRIBIVARBPROC>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglGetPixelFormatAttribivARB")));
    const int attribute = WGL_SAMPLES_ARB;
    HDC dc = context.heldDC;
    if (getAttributes && dc && !getAttributes(dc, GetPixelFormat(dc), 0, 1, &attribute, &samples))
        samples = -1;
    context.releaseCurrent();
    return samples;
}

// The pixel on show at client point (x, y), from the top left.
// NOTE: under Wine, glReadPixels from GL_FRONT keeps returning what was
// drawn into the front buffer, not what a swap put there; GDI reads the
// X window itself and so sees the picture on show.
COLORREF shownPixel(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

} // namespace

// --- Multisample probe ------------------------------------------------------

// Per wanted count: the probe windows opened, the counts offered to
// wglChoosePixelFormatARB (one fewer after each refusal, down to 2) and the
// samples the window's format really has. llvmpipe offers 4-sample formats
// only, so 8 is tried as 8, 7, 6, 5, 4.
TEST(GLContextMultisample, ProbeTriesFewerSamplesUntilTheDriverAgrees)
{
    for (int wanted : {4, 8, 1, 0, -3}) {
        SCOPED_TRACE(testing::Message() << wanted << " samples wanted");
        PlainWindow w(kWidth, kHeight);
        ASSERT_NE(w.hwnd, nullptr);
        GLContext context;
        std::vector<int> tries;
        {
            WglCallRecorder calls;
            ASSERT_TRUE(calls.hooked());
            ASSERT_TRUE(context.create(w.hwnd, false, wanted));
            tries = calls.chooseSamples();
            EXPECT_EQ(wanted >= 1 ? 1 : 0, calls.count(kProbeWindow));
        }
        EXPECT_EQ(nullptr, FindWindowA(GLContext::probeClassName, nullptr)) << "probe window left";
        const int samples = windowSamples(context);
        if (wanted <= 1) {
            EXPECT_TRUE(tries.empty());
            EXPECT_EQ(0, samples);
        } else {
            ASSERT_FALSE(tries.empty());
            for (std::size_t i = 0; i < tries.size(); ++i)
                EXPECT_EQ(wanted - static_cast<int>(i), tries[i]) << "try " << i;
            EXPECT_GE(tries.back(), 2);
            EXPECT_GE(samples, tries.back());
            if (tries.size() > 1) {
                EXPECT_LT(samples, tries[tries.size() - 2]) << "a refused count was used";
            }
        }
        if (wanted == 4)
            RecordProperty("samples_for_4", samples);

        // What the context renders with is what the format says.
        context.makeCurrent(nullptr);
        GLint glSamples = -1;
        glGetIntegerv(GL_SAMPLES, &glSamples);
        context.releaseCurrent();
        EXPECT_EQ(samples, glSamples);
    }
}

TEST(GLContextMultisample, ProbeClassIsRegisteredOnce)
{
    PlainWindow first(kWidth, kHeight), second(kWidth, kHeight);
    GLContext a, b;
    WglCallRecorder calls;
    ASSERT_TRUE(calls.hooked());
    // Whichever test probed first registered the class; a probe after that
    // registers nothing.
    ASSERT_TRUE(a.create(first.hwnd, false, 4));
    EXPECT_LE(calls.count(kProbeClass), 1);
    const int registered = calls.count(kProbeClass);
    ASSERT_TRUE(b.create(second.hwnd, false, 4));
    EXPECT_EQ(registered, calls.count(kProbeClass));

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), GLContext::probeClassName, &wc));
}

TEST(GLContextMultisample, SwapIntervalSetOnlyWhenAsked)
{
    PlainWindow w(kWidth, kHeight), other(kWidth, kHeight);
    GLContext context;
    WglCallRecorder calls;
    ASSERT_TRUE(calls.hooked());
    ASSERT_TRUE(context.create(w.hwnd, false, 0));
    EXPECT_EQ(0, calls.count("wglGetProcAddress wglSwapIntervalEXT"));

    ASSERT_TRUE(context.create(other.hwnd, true, 0));
    EXPECT_EQ(1, calls.count("wglGetProcAddress wglSwapIntervalEXT"));
    // llvmpipe offers the extension: the swap waits for one vertical blank.
    EXPECT_EQ(std::vector<int>{1}, calls.swapIntervals());
}

// --- Brackets ---------------------------------------------------------------

class GLContextBrackets : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(w.hwnd, nullptr);
        ASSERT_TRUE(context.create(w.hwnd, false, 4));
    }

    PlainWindow w{kWidth, kHeight};
    GLContext context;
};

TEST_F(GLContextBrackets, CreateLeavesNothingCurrentOrHeld)
{
    EXPECT_NE(context.renderingContext, nullptr);
    EXPECT_EQ(w.hwnd, context.window);
    EXPECT_EQ(nullptr, context.heldDC);
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    const LONG style = GetWindowLongA(w.hwnd, GWL_STYLE);
    EXPECT_EQ(WS_CLIPCHILDREN | WS_CLIPSIBLINGS, style & (WS_CLIPCHILDREN | WS_CLIPSIBLINGS));
}

TEST_F(GLContextBrackets, MakeCurrentHoldsOneWindowDCAtATime)
{
    context.makeCurrent(nullptr);
    HDC first = context.heldDC;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(context.renderingContext, wglGetCurrentContext());
    EXPECT_EQ(first, wglGetCurrentDC());
    EXPECT_EQ(w.hwnd, WindowFromDC(first));

    context.makeCurrent(nullptr);
    HDC second = context.heldDC;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second, wglGetCurrentDC());
    // The cache hands out a DC again only once it is back; a different one
    // must already have been returned.
    if (first != second) {
        EXPECT_EQ(0, ReleaseDC(w.hwnd, first)) << "first window DC leaked";
    }

    context.releaseCurrent();
    EXPECT_EQ(nullptr, context.heldDC);
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    EXPECT_EQ(0, ReleaseDC(w.hwnd, second)) << "the window DC was not given back";
}

TEST_F(GLContextBrackets, PaintBracketPutsTheFrameOnShow)
{
    // Something else on show first, so that only a swap can bring the frame.
    context.makeCurrent(nullptr);
    glViewport(0, 0, kWidth, kHeight);
    glDrawBuffer(GL_FRONT);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    glDrawBuffer(GL_BACK);
    context.releaseCurrent();
    ASSERT_EQ(RGB(0, 0, 255), shownPixel(w.hwnd, kWidth / 2, kHeight / 2));

    InvalidateRect(w.hwnd, nullptr, FALSE);
    context.beginPaint();
    EXPECT_EQ(context.renderingContext, wglGetCurrentContext());
    EXPECT_EQ(context.paint.hdc, wglGetCurrentDC());
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    context.endPaint();

    EXPECT_EQ(nullptr, wglGetCurrentContext());
    EXPECT_FALSE(GetUpdateRect(w.hwnd, nullptr, FALSE)) << "the window was not validated";
    EXPECT_EQ(0, ReleaseDC(w.hwnd, context.paint.hdc)) << "the paint DC was not given back";
    EXPECT_EQ(RGB(255, 0, 0), shownPixel(w.hwnd, kWidth / 2, kHeight / 2));
    EXPECT_EQ(RGB(255, 0, 0), shownPixel(w.hwnd, 0, 0));
    EXPECT_EQ(RGB(255, 0, 0), shownPixel(w.hwnd, kWidth - 1, kHeight - 1));
}

TEST_F(GLContextBrackets, BeginPaintGivesBackAHeldDC)
{
    context.makeCurrent(nullptr);
    HDC held = context.heldDC;
    ASSERT_NE(held, nullptr);

    context.beginPaint();
    EXPECT_EQ(context.paint.hdc, wglGetCurrentDC());
    EXPECT_EQ(nullptr, context.heldDC);
    EXPECT_EQ(0, ReleaseDC(w.hwnd, held)) << "held window DC leaked";
    context.endPaint();
}

TEST_F(GLContextBrackets, DestroyEndsEverythingAndGivesBackAHeldDC)
{
    context.makeCurrent(nullptr);
    HDC held = context.heldDC;
    ASSERT_NE(held, nullptr);

    context.destroy();

    EXPECT_EQ(nullptr, context.renderingContext);
    EXPECT_EQ(nullptr, context.window);
    EXPECT_EQ(nullptr, context.heldDC);
    EXPECT_FALSE(context.fontReady);
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    EXPECT_EQ(0, ReleaseDC(w.hwnd, held)) << "held window DC leaked";

    // Nothing to make current any more.
    context.makeCurrent(nullptr);
    EXPECT_EQ(nullptr, context.heldDC);
    EXPECT_EQ(nullptr, wglGetCurrentContext());
}

TEST_F(GLContextBrackets, SecondCreateReplacesTheContextAndGivesBackAHeldDC)
{
    context.makeCurrent(nullptr);
    HDC held = context.heldDC;
    ASSERT_NE(held, nullptr);

    PlainWindow other(kWidth, kHeight);
    ASSERT_TRUE(context.create(other.hwnd, false, 0));

    EXPECT_EQ(other.hwnd, context.window);
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    EXPECT_EQ(0, ReleaseDC(w.hwnd, held)) << "held window DC of the old window leaked";
}

// --- No context -------------------------------------------------------------

TEST(GLContextWithout, OperationsLeaveOthersAlone)
{
    // Another context is current; a GLContext without one must not touch it.
    GLTestWindow gl(32, 32);
    ASSERT_TRUE(gl.ok()) << gl.error();
    PlainWindow w(kWidth, kHeight);
    HGLRC theirs = wglGetCurrentContext();
    ASSERT_NE(theirs, nullptr);

    GLContext context;
    context.makeCurrent(nullptr);
    EXPECT_EQ(nullptr, context.heldDC);
    context.makeCurrent(gl.deviceContext());
    context.releaseCurrent();
    EXPECT_EQ(theirs, wglGetCurrentContext());

    context.window = w.hwnd; // a window alone is not enough
    InvalidateRect(w.hwnd, nullptr, FALSE);
    context.beginPaint();
    context.endPaint();
    EXPECT_EQ(theirs, wglGetCurrentContext());
    EXPECT_TRUE(GetUpdateRect(w.hwnd, nullptr, FALSE)) << "painted without a context";
    context.window = nullptr;
}

TEST(GLContextWithout, FailedCreateLeavesNoContext)
{
    // A window whose pixel format is already another one cannot take ours.
    PlainWindow taken(kWidth, kHeight);
    HDC dc = GetDC(taken.hwnd);
    const int ours = ChoosePixelFormat(dc, &GLContext::windowPixelFormat);
    const int other = ours == 1 ? 2 : 1;
    PIXELFORMATDESCRIPTOR pfd = {};
    DescribePixelFormat(dc, other, sizeof pfd, &pfd);
    ASSERT_TRUE(SetPixelFormat(dc, other, &pfd));
    ReleaseDC(taken.hwnd, dc);

    PlainWindow good(kWidth, kHeight);
    GLContext context;
    ASSERT_TRUE(context.create(good.hwnd, false, 0));

    EXPECT_FALSE(context.create(taken.hwnd, false, 0));
    EXPECT_EQ(nullptr, context.renderingContext);
    EXPECT_EQ(nullptr, context.window);
    EXPECT_EQ(nullptr, context.heldDC);
    EXPECT_FALSE(context.fontReady);
    EXPECT_EQ(nullptr, wglGetCurrentContext());

    EXPECT_FALSE(context.create(nullptr, false, 0));
}
