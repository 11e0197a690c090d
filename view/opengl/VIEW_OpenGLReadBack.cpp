// Reading the framebuffer back into bitmaps (rows bottom-up, as OpenGL
// gives them). Sizes whose buffers would be too large are refused.
#include "view/opengl/VIEW_OpenGL.h"

#include <cstdlib>

#include "foundation/UTIL_Bitmap.h"
#include "view/opengl/VIEW_GL.h"

bool VIEW_OpenGL::readColor(void *context, int x, int y, int width, int height, UTIL_Bitmap *out)
{
    if (width < 1 || height < 1 || out == nullptr || UTIL_Bitmap::byteCount(width, height, 3) == 0)
        return false;
    if (!makeCurrent(context) || !out->allocate(width, height, 3))
        return false;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, out->m_pucData);
    releaseCurrent(context);
    return true;
}

bool VIEW_OpenGL::readStencil(void *context, int x, int y, int width, int height, UTIL_Bitmap *out)
{
    if (width < 1 || height < 1 || out == nullptr || UTIL_Bitmap::byteCount(width, height, 1) == 0)
        return false;
    if (!out->allocate(width, height, 1) || !makeCurrent(context))
        return false;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, out->m_pucData);
    releaseCurrent(context);
    size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    unsigned char *v = out->m_pucData;
    int smallest = 255, largest = 0;
    for (size_t i = 0; i < n; i++) {
        smallest = v[i] < smallest ? v[i] : smallest;
        largest = v[i] > largest ? v[i] : largest;
    }
    // Spread the values over the whole range, so that they show.
    if (smallest != largest)
        for (size_t i = 0; i < n; i++)
            v[i] = static_cast<unsigned char>((v[i] - smallest) * 255 / (largest - smallest));
    return true;
}

bool VIEW_OpenGL::readDepth(void *context, int x, int y, int width, int height, UTIL_Bitmap *out)
{
    size_t bytes = UTIL_Bitmap::byteCount(width, height, 4);
    if (width < 1 || height < 1 || out == nullptr || bytes == 0)
        return false;
    uint32_t *depths = static_cast<uint32_t *>(std::malloc(bytes));
    if (depths == nullptr)
        return false;
    if (!makeCurrent(context)) {
        std::free(depths);
        return false;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depths);
    releaseCurrent(context);
    size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint32_t smallest = UINT32_MAX, largest = 0;
    for (size_t i = 0; i < n; i++) {
        smallest = depths[i] < smallest ? depths[i] : smallest;
        largest = depths[i] > largest ? depths[i] : largest;
    }
    uint32_t step = largest - smallest < 255 ? 1 : (largest - smallest) / 255;
    bool allocated = out->allocate(width, height, 1);
    if (allocated)
        for (size_t i = 0; i < n; i++)
            out->m_pucData[i] = static_cast<unsigned char>((depths[i] - smallest) / step);
    std::free(depths);
    return allocated;
}
