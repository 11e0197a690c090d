#include "view/desktop/VIEW_EglContext.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

namespace {

// One EGL display serves every context of the process, initialised at the
// first context and kept to the end: EGL hands out the same display for the
// same platform, terminating it would end every context on it, and it
// would unload the driver, so that the next context pays the driver's
// start-up again.
EGLDisplay s_oDisplay = EGL_NO_DISPLAY;

void report(char *error, int errorSize, const char *format, ...)
{
    if (error == nullptr || errorSize <= 0)
        return;
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(error, static_cast<size_t>(errorSize), format, arguments);
    va_end(arguments);
}

bool hasExtension(const char *extensions, const char *name)
{
    if (extensions == nullptr)
        return false;
    size_t length = strlen(name);
    for (const char *at = strstr(extensions, name); at != nullptr; at = strstr(at + length, name))
        if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

// An initialised display: Mesa's surfaceless platform when the client
// offers it, else the default display.
EGLDisplay acquireDisplay(char *error, int errorSize)
{
    if (s_oDisplay != EGL_NO_DISPLAY)
        return s_oDisplay;
    const char *clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLint major = 0, minor = 0;
    if (hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && !eglInitialize(display, &major, &minor))
            display = EGL_NO_DISPLAY;
    }
    if (display == EGL_NO_DISPLAY) {
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (display == EGL_NO_DISPLAY) {
            report(error, errorSize, "EGL offers no display");
            return EGL_NO_DISPLAY;
        }
        if (!eglInitialize(display, &major, &minor)) {
            report(error, errorSize, "EGL display cannot be initialised (EGL error 0x%04x)", eglGetError());
            return EGL_NO_DISPLAY;
        }
    }
    s_oDisplay = display;
    return display;
}

// A configuration for the desktop OpenGL API; pbuffer-capable ones first,
// for displays that need a surface to make a context current.
bool chooseConfig(EGLDisplay display, EGLConfig &config)
{
    const EGLint surfaceTypes[] = {EGL_PBUFFER_BIT, 0};
    for (EGLint surfaceType : surfaceTypes) {
        const EGLint attributes[] = {EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_SURFACE_TYPE,
                                     surfaceType,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_NONE};
        EGLint count = 0;
        if (eglChooseConfig(display, attributes, &config, 1, &count) && count > 0)
            return true;
    }
    return false;
}

} // namespace

VIEW_EglContext::VIEW_EglContext()
    : m_poDisplay(EGL_NO_DISPLAY), m_poContext(EGL_NO_CONTEXT), m_poSurface(EGL_NO_SURFACE), m_uiFramebuffer(0),
      m_uiColorBuffer(0), m_uiDepthStencilBuffer(0), m_iWidth(0), m_iHeight(0)
{
}

VIEW_EglContext *VIEW_EglContext::create(int width, int height, char *error, int errorSize)
{
    report(error, errorSize, "");
    if (width < 1 || height < 1) {
        report(error, errorSize, "framebuffer size %d x %d is not drawable", width, height);
        return nullptr;
    }
    EGLDisplay display = acquireDisplay(error, errorSize);
    if (display == EGL_NO_DISPLAY)
        return nullptr;
    VIEW_EglContext *context = new VIEW_EglContext();
    context->m_poDisplay = display;
    EGLConfig config = nullptr;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        report(error, errorSize, "EGL offers no desktop OpenGL (EGL error 0x%04x)", eglGetError());
    } else if (!chooseConfig(display, config)) {
        report(error, errorSize, "EGL has no configuration for desktop OpenGL");
    } else {
        // No version asked for: the compatibility profile, whose fixed-function
        // pipeline the renderer needs.
        const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};
        context->m_poContext = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
        if (context->m_poContext == EGL_NO_CONTEXT)
            context->m_poContext = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes + 2);
        if (context->m_poContext == EGL_NO_CONTEXT) {
            report(error, errorSize, "EGL cannot create an OpenGL context (EGL error 0x%04x)", eglGetError());
        } else {
            if (!hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
                const EGLint pbuffer[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
                context->m_poSurface = eglCreatePbufferSurface(display, config, pbuffer);
            }
            if (!context->makeCurrent()) {
                report(error, errorSize, "the OpenGL context cannot be made current (EGL error 0x%04x)", eglGetError());
            } else if (!context->allocateBuffers(width, height)) {
                report(error, errorSize, "no %d x %d framebuffer with depth and stencil can be made", width, height);
            } else {
                return context;
            }
        }
    }
    delete context;
    return nullptr;
}

VIEW_EglContext::~VIEW_EglContext()
{
    EGLDisplay display = static_cast<EGLDisplay>(m_poDisplay);
    if (m_poContext != EGL_NO_CONTEXT) {
        if (makeCurrent()) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            if (m_uiFramebuffer != 0)
                glDeleteFramebuffers(1, &m_uiFramebuffer);
            if (m_uiColorBuffer != 0)
                glDeleteRenderbuffers(1, &m_uiColorBuffer);
            if (m_uiDepthStencilBuffer != 0)
                glDeleteRenderbuffers(1, &m_uiDepthStencilBuffer);
        }
        releaseCurrent();
        eglDestroyContext(display, static_cast<EGLContext>(m_poContext));
    }
    if (m_poSurface != EGL_NO_SURFACE)
        eglDestroySurface(display, static_cast<EGLSurface>(m_poSurface));
}

bool VIEW_EglContext::makeCurrent()
{
    EGLSurface surface = static_cast<EGLSurface>(m_poSurface);
    if (!eglMakeCurrent(static_cast<EGLDisplay>(m_poDisplay), surface, surface, static_cast<EGLContext>(m_poContext)))
        return false;
    if (m_uiFramebuffer != 0)
        glBindFramebuffer(GL_FRAMEBUFFER, m_uiFramebuffer);
    return true;
}

void VIEW_EglContext::releaseCurrent()
{
    eglMakeCurrent(static_cast<EGLDisplay>(m_poDisplay), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void VIEW_EglContext::endFrame()
{
    glFinish();
}

bool VIEW_EglContext::resize(int width, int height)
{
    if (width < 1 || height < 1 || !makeCurrent())
        return false;
    return allocateBuffers(width, height);
}

bool VIEW_EglContext::allocateBuffers(int width, int height)
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (width > largest || height > largest)
        return false;
    if (m_uiFramebuffer == 0) {
        glGenFramebuffers(1, &m_uiFramebuffer);
        glGenRenderbuffers(1, &m_uiColorBuffer);
        glGenRenderbuffers(1, &m_uiDepthStencilBuffer);
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_uiFramebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_uiColorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, m_uiDepthStencilBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_uiColorBuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_uiDepthStencilBuffer);
    if (glGetError() != GL_NO_ERROR || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        // Back to the last good size, when there was one.
        if (m_iWidth > 0 && (m_iWidth != width || m_iHeight != height))
            allocateBuffers(m_iWidth, m_iHeight);
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width, height);
    m_iWidth = width;
    m_iHeight = height;
    return true;
}
