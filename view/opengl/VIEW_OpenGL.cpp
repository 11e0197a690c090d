#include "view/opengl/VIEW_OpenGL.h"

#include <cctype>

#include "view/opengl/VIEW_GL.h"

int VIEW_parseGLVersion(const char *version)
{
    if (version == nullptr || !isdigit(static_cast<unsigned char>(version[0])))
        return 0;
    int major = 0;
    const char *at = version;
    for (; isdigit(static_cast<unsigned char>(*at)); at++) {
        major = major * 10 + (*at - '0');
        if (major > 1000)
            return 0;
    }
    if (at[0] != '.' || !isdigit(static_cast<unsigned char>(at[1])))
        return 0;
    return major * 10 + (at[1] - '0');
}

VIEW_OpenGL::VIEW_OpenGL()
    : m_fViewportWidth(0), m_fViewportHeight(0), m_sVersion(nullptr), m_sVendor(nullptr), m_sRenderer(nullptr),
      m_iVersion(0), m_iMaxTextureSize(0), m_iTextureFilter(2), m_iRenderMode(VIEW_RENDER_MODE_NONE),
      m_bGlyphTexturesStale(false), m_bImageTexturesStale(false), m_uiHeldError(GL_NO_ERROR)
{
    m_oViewMatrix.setZero();
    m_oProjectionMatrix.setZero();
    m_oViewProjectionMatrix.setZero();
    MDL_MeshData::addObserver(this);
}

VIEW_OpenGL::~VIEW_OpenGL()
{
    MDL_MeshData::removeObserver(this);
    // The textures are the host's to flush; the vertex buffers go here.
    releaseBuffers();
    deleteOrphanBuffers();
}

void VIEW_OpenGL::setTextureFilter(int filter)
{
    invalidateImageTextures();
    m_iTextureFilter = filter;
}

void VIEW_OpenGL::invalidateImageTextures()
{
    m_bImageTexturesStale = true;
}

void VIEW_OpenGL::invalidateGlyphTextures()
{
    m_bGlyphTexturesStale = true;
}

void VIEW_OpenGL::start() {}

void VIEW_OpenGL::present(void *context)
{
    flush(context);
    releaseCurrent(context);
}

const char *VIEW_OpenGL::getVersion()
{
    return m_sVersion;
}

const char *VIEW_OpenGL::getRenderer()
{
    return m_sRenderer;
}

const char *VIEW_OpenGL::getVendor()
{
    return m_sVendor;
}

const char *VIEW_OpenGL::getRenderModeName()
{
    switch (static_cast<unsigned int>(m_iRenderMode)) {
    case VIEW_RENDER_MODE_VBO:
        return "VBO";
    case VIEW_RENDER_MODE_SHADER:
        return "SHADER";
    default:
        return "NONE";
    }
}

bool VIEW_OpenGL::makeCurrent(void *)
{
    return true;
}

bool VIEW_OpenGL::releaseCurrent(void *)
{
    return true;
}

bool VIEW_OpenGL::flush(void *)
{
    return true;
}

unsigned int VIEW_OpenGL::takeError()
{
    unsigned int error = m_uiHeldError;
    m_uiHeldError = GL_NO_ERROR;
    return error != GL_NO_ERROR ? error : glGetError();
}
