#pragma once

#include <cstdint>

#include "foundation/UTIL_ProxyHandle.h"

class TiXmlElement;

// The "FILTER_" values: how the renderer samples a texture.
enum {
    MDL_FILTER_DEFAULT = 0,
    MDL_FILTER_NEAREST_POINT = 1,
    MDL_FILTER_LINEAR = 2,
    MDL_FILTER_MIPMAP = 3,
};

// One image in its encoded form (PNG or JPEG bytes as stored in the
// document), with what the rest of the player needs before it is decoded:
// size, alpha, filter and a process-wide identifier that keys the renderer's
// texture cache. Only the renderer decodes the bytes (UTIL_Bitmap::decode).
// A movie stream's frame texture instead holds raw RGB pixels that the stream
// owns and rewrites (m_bIsFrame).
class MDL_Texture {
public:
    // No name, no data, filter 0, a new identifier.
    MDL_Texture();
    // The same as the default constructor followed by init, with one
    // identifier.
    MDL_Texture(const char *name, unsigned char *data, uint32_t size, bool owns);
    // Frees the name, the data when owned (never a frame's pixels), and
    // detaches the script proxy.
    ~MDL_Texture();

    MDL_Texture(const MDL_Texture &) = delete;
    MDL_Texture &operator=(const MDL_Texture &) = delete;

    // Takes data (size bytes; freed with free on destruction when owns) and a
    // copy of name (null stays null), with a new identifier, filter 0 and the
    // flags cleared, then reads the header. Whatever the texture held before
    // is released.
    void init(const char *name, unsigned char *data, uint32_t size, bool owns);
    // Width, height and alpha from the encoded data (0 x 0 without alpha when
    // the data are neither a readable PNG nor a JPEG with a baseline frame).
    void readHeader();
    // Height over width; 1 when the width is 0.
    double getAspectRatio() const;
    // Reads one "texture" element of a models set: "name", "size", "filter"
    // and the hexadecimal bytes of the element's text. The data hold at most
    // "size" bytes and never more than the text supplies: m_iSize is the
    // number of bytes actually decoded. Always true.
    bool loadFromXML(const TiXmlElement *element);
    // Makes this a raw frame over pixels (width x height RGB bytes) that the
    // caller owns and rewrites; the texture never frees them.
    void setFrame(unsigned char *pixels, int width, int height);

    const char *getName() const { return m_sName; }
    int getId() const { return m_iId; }

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    char *m_sName;            // owned (malloc), or null
    uint32_t m_iSize;         // byte count of m_pucData
    unsigned char *m_pucData; // the encoded image, or a frame's RGB pixels
    bool m_bOwnsData;         // freed on destruction (unless a frame)
    bool m_bHasAlpha;         // alpha channel or transparency chunk
    bool m_bBinaryAlpha;      // alpha is all or nothing (set by the scripts)
    int m_iId;                // from UTIL_nextId
    int m_iWidth;             // from the header, 0 when none
    int m_iHeight;            // from the header, 0 when none
    bool m_bIsFrame;          // raw RGB pixels owned by a movie stream
    bool m_bFrameChanged;     // the stream wrote a new frame
    bool m_bReleasePending;   // released by the scripts; dropped at the next draw
    uint32_t m_iFilter;       // MDL_FILTER_*
    // The renderer reported that this image does not decode; it keeps
    // trying quietly until the image decodes or is replaced (every change of
    // the data clears it).
    bool m_bDecodeFailureReported;

private:
    void releaseData();
};
