// The image-texture cache: pictures decoded from their PNG or JPEG bytes and
// movie frames, uploaded at power-of-two sizes.
#include "view/opengl/VIEW_OpenGL.h"

#include <algorithm>

#include "foundation/UTIL_Bitmap.h"
#include "model/MDL_Texture.h"
#include "view/opengl/VIEW_GL.h"

namespace {

GLenum pixelFormat(int components)
{
    switch (components) {
    case 1:
        return GL_LUMINANCE;
    case 2:
        return GL_LUMINANCE_ALPHA;
    case 3:
        return GL_RGB;
    case 4:
        return GL_RGBA;
    default:
        return 0;
    }
}

// A texture of the given size without pixels yet, and the picture at its
// lower left corner.
void uploadInto(const UTIL_Bitmap &bitmap, int width, int height, GLint internalFormat)
{
    GLenum format = pixelFormat(bitmap.m_iComponents);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, bitmap.m_iWidth, bitmap.m_iHeight, format, GL_UNSIGNED_BYTE,
                    bitmap.m_pucData);
}

// The part of a width x height texture that a picture of the given size
// covers, half a texel inside its edges.
void insetRectangle(VIEW_ImageTexture &entry, int pictureWidth, int pictureHeight, int width, int height)
{
    entry.m_fUMin = 0.5 / width;
    entry.m_fVMin = 0.5 / height;
    entry.m_fUMax = (pictureWidth - 0.5) / width;
    entry.m_fVMax = (pictureHeight - 0.5) / height;
}

} // namespace

int VIEW_powerOfTwo(int side, int limit)
{
    int p = 1;
    while (p < side && p < (1 << 30))
        p *= 2;
    if (p > limit)
        p = limit;
    return p > 0 ? p : 1;
}

int VIEW_OpenGL::applyTextureFilter(int filter)
{
    if (filter < MDL_FILTER_NEAREST_POINT || filter > MDL_FILTER_MIPMAP)
        filter = m_iTextureFilter;
    // A default that is no filter would leave textures without sampling.
    if (filter < MDL_FILTER_NEAREST_POINT || filter > MDL_FILTER_MIPMAP)
        filter = MDL_FILTER_LINEAR;
    GLint minification = filter == MDL_FILTER_MIPMAP   ? GL_LINEAR_MIPMAP_LINEAR
                         : filter == MDL_FILTER_LINEAR ? GL_LINEAR
                                                       : GL_NEAREST;
    GLint magnification = filter == MDL_FILTER_NEAREST_POINT ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minification);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnification);
    return filter;
}

VIEW_ImageTexture *VIEW_OpenGL::getImageTexture(MDL_Texture *texture)
{
    int id = texture->getId();
    UTIL_HashMap<4, VIEW_ImageTexture>::Node *node = m_oImageTextures.find(&id);
    int limit = m_iMaxTextureSize > 0 ? m_iMaxTextureSize : 64;

    if (texture->m_bIsFrame) {
        if (texture->m_pucData == nullptr || texture->m_iWidth <= 0 || texture->m_iHeight <= 0 ||
            UTIL_Bitmap::byteCount(texture->m_iWidth, texture->m_iHeight, 3) == 0)
            return nullptr;
        UTIL_Bitmap frame;
        frame.wrap(texture->m_iWidth, texture->m_iHeight, 3, texture->m_pucData);
        if (node != nullptr) {
            glBindTexture(GL_TEXTURE_2D, node->m_oValue.m_uiTexture);
            if (!texture->m_bFrameChanged)
                return &node->m_oValue;
            if (!frame.resize(std::min(frame.m_iWidth, limit), std::min(frame.m_iHeight, limit)))
                return &node->m_oValue;
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, frame.m_iWidth, frame.m_iHeight, GL_RGB, GL_UNSIGNED_BYTE,
                            frame.m_pucData);
            texture->m_bFrameChanged = false;
            return &node->m_oValue;
        }
        if (!frame.resize(std::min(frame.m_iWidth, limit), std::min(frame.m_iHeight, limit)))
            return nullptr;
        int p = VIEW_powerOfTwo(texture->m_iWidth, limit), q = VIEW_powerOfTwo(texture->m_iHeight, limit);
        VIEW_ImageTexture entry;
        glGenTextures(1, &entry.m_uiTexture);
        glBindTexture(GL_TEXTURE_2D, entry.m_uiTexture);
        insetRectangle(entry, frame.m_iWidth, frame.m_iHeight, p, q);
        entry.m_iByteSize = p * q * 3;
        uploadInto(frame, p, q, GL_RGB);
        // Frames have no mipmaps.
        int filter = applyTextureFilter(static_cast<int>(texture->m_iFilter));
        GLint sampling = filter == MDL_FILTER_NEAREST_POINT ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, sampling);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sampling);
        texture->m_bFrameChanged = false;
        return &m_oImageTextures.insert(&id, entry)->m_oValue;
    }

    if (node != nullptr) {
        glBindTexture(GL_TEXTURE_2D, node->m_oValue.m_uiTexture);
        return &node->m_oValue;
    }
    // An image that does not decode is tried again at each use (nothing is
    // cached), but its failure is reported only the first time.
    UTIL_Bitmap bitmap;
    if (texture->m_pucData == nullptr ||
        !bitmap.decode(texture->m_pucData, texture->m_iSize, texture->getName(), texture->m_bDecodeFailureReported)) {
        texture->m_bDecodeFailureReported = true;
        return nullptr;
    }
    texture->m_bDecodeFailureReported = false;
    if (!bitmap.resize(std::min(bitmap.m_iWidth, limit), std::min(bitmap.m_iHeight, limit)))
        return nullptr;
    int p = VIEW_powerOfTwo(bitmap.m_iWidth, limit), q = VIEW_powerOfTwo(bitmap.m_iHeight, limit);
    if (!bitmap.resize(p, q))
        return nullptr;
    VIEW_ImageTexture entry;
    glGenTextures(1, &entry.m_uiTexture);
    glBindTexture(GL_TEXTURE_2D, entry.m_uiTexture);
    int filter = applyTextureFilter(static_cast<int>(texture->m_iFilter));
    GLint internalFormat = bitmap.m_iComponents;
    if (filter == MDL_FILTER_MIPMAP) {
        GLenum format = pixelFormat(bitmap.m_iComponents);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        entry.m_iByteSize = 0;
        for (int level = 0;; level++) {
            glTexImage2D(GL_TEXTURE_2D, level, internalFormat, bitmap.m_iWidth, bitmap.m_iHeight, 0, format,
                         GL_UNSIGNED_BYTE, bitmap.m_pucData);
            entry.m_iByteSize += bitmap.m_iWidth * bitmap.m_iHeight * bitmap.m_iComponents;
            if ((bitmap.m_iWidth < 2 && bitmap.m_iHeight < 2) || !bitmap.halve())
                break;
        }
        entry.m_fUMin = entry.m_fVMin = 0;
        entry.m_fUMax = entry.m_fVMax = 1;
    } else {
        uploadInto(bitmap, p, q, internalFormat);
        insetRectangle(entry, bitmap.m_iWidth, bitmap.m_iHeight, p, q);
        entry.m_iByteSize = p * q * bitmap.m_iComponents;
    }
    return &m_oImageTextures.insert(&id, entry)->m_oValue;
}

void VIEW_OpenGL::releaseTexture(MDL_Texture *texture)
{
    if (texture == nullptr)
        return;
    int id = texture->getId();
    UTIL_HashMap<4, VIEW_ImageTexture>::Node *node = m_oImageTextures.find(&id);
    if (node == nullptr)
        return;
    if (node->m_oValue.m_uiTexture != 0)
        glDeleteTextures(1, &node->m_oValue.m_uiTexture);
    m_oImageTextures.remove(&id);
}

void VIEW_OpenGL::clearImageTextures()
{
    m_oImageTextures.clearAll([](VIEW_ImageTexture &entry) {
        if (entry.m_uiTexture != 0)
            glDeleteTextures(1, &entry.m_uiTexture);
    });
}

void VIEW_OpenGL::flushImageTextures(void *context)
{
    if (!makeCurrent(context))
        return;
    clearImageTextures();
    m_bImageTexturesStale = false;
    releaseCurrent(context);
}
