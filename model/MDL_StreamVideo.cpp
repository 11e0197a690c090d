#include "model/MDL_StreamVideo.h"

#include <cstddef>
#include <cstdint>

#include "model/MDL_Stream.h"
#include "model/MDL_StreamDecoder.h"
#include "model/MDL_Texture.h"

namespace {

// BT.601 video range in 22-bit fixed point: 255/219 for luma; 1.596 (Cr to
// R), 0.813 (Cr to G), 0.391 (Cb to G) and 2.018 (Cb to B) for chroma, with
// the offsets of 16 and 128 and a rounding half folded into the constants.
// A full-scale sum reaches about 3 x 10^9, beyond 32 bits: sums are 64-bit.
const int64_t LUMA = 4883779;
const int64_t CR_TO_R = 6694222;
const int64_t CR_TO_G = 3409833;
const int64_t CB_TO_G = 1643170;
const int64_t CB_TO_B = 8460885;
const int64_t R_OFFSET = 932903662;
const int64_t G_OFFSET = 570741154;
const int64_t B_OFFSET = 1159036566;

// The sum's top bits, clamped to 0 .. 255 (below 0 gives 0, 2^30 and above
// 255); written with min and max so that the loops below vectorise.
inline unsigned char channel(int64_t sum)
{
    const int64_t top = (int64_t(1) << 30) - 1;
    sum = sum < 0 ? 0 : sum;
    sum = sum > top ? top : sum;
    return static_cast<unsigned char>(sum >> 22);
}

// The chroma part of the three sums, with the offsets, for one Cb, Cr pair.
struct ChromaTerms {
    int64_t m_iRed, m_iGreen, m_iBlue;
};

inline ChromaTerms chromaTerms(int cb, int cr)
{
    return {CR_TO_R * cr - R_OFFSET, G_OFFSET - CR_TO_G * cr - CB_TO_G * cb, CB_TO_B * cb - B_OFFSET};
}

inline void pixel(int y, const ChromaTerms &terms, unsigned char *out)
{
    int64_t luma = LUMA * y;
    out[0] = channel(luma + terms.m_iRed);
    out[1] = channel(luma + terms.m_iGreen);
    out[2] = channel(luma + terms.m_iBlue);
}

bool planeHolds(const MDL_YCbCrPlane &plane, int64_t lastX, int64_t lastY)
{
    if (plane.m_pucData == nullptr || plane.m_iWidth <= 0 || plane.m_iHeight <= 0)
        return false;
    int64_t stride = plane.m_iStride < 0 ? -static_cast<int64_t>(plane.m_iStride) : plane.m_iStride;
    return lastX < plane.m_iWidth && lastY < plane.m_iHeight && stride >= plane.m_iWidth;
}

} // namespace

void MDL_convertYCbCrPixel(int y, int cb, int cr, unsigned char *rgb)
{
    pixel(y, chromaTerms(cb, cr), rgb);
}

bool MDL_bConvertYCbCr(const MDL_YCbCrPlane planes[3], int chromaShiftX, int chromaShiftY, int pictureX, int pictureY,
                       int width, int height, unsigned char *rgb)
{
    if (planes == nullptr || rgb == nullptr || width <= 0 || height <= 0 || pictureX < 0 || pictureY < 0)
        return false;
    if (chromaShiftX < 0 || chromaShiftX > 1 || chromaShiftY < 0 || chromaShiftY > 1)
        return false;
    int64_t lastX = static_cast<int64_t>(pictureX) + width - 1;
    int64_t lastY = static_cast<int64_t>(pictureY) + height - 1;
    if (!planeHolds(planes[0], lastX, lastY) || !planeHolds(planes[1], lastX >> chromaShiftX, lastY >> chromaShiftY) ||
        !planeHolds(planes[2], lastX >> chromaShiftX, lastY >> chromaShiftY))
        return false;

    size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int row = 0; row < height; row++) {
        int64_t y = static_cast<int64_t>(pictureY) + row;
        int64_t cy = y >> chromaShiftY;
        const unsigned char *luma = planes[0].m_pucData + y * planes[0].m_iStride + pictureX;
        const unsigned char *cb = planes[1].m_pucData + cy * planes[1].m_iStride;
        const unsigned char *cr = planes[2].m_pucData + cy * planes[2].m_iStride;
        unsigned char *out = rgb + static_cast<size_t>(height - 1 - row) * rowBytes;
        if (chromaShiftX == 0) {
            cb += pictureX;
            cr += pictureX;
            for (int x = 0; x < width; x++, out += 3)
                pixel(luma[x], chromaTerms(cb[x], cr[x]), out);
            continue;
        }
        // Two pixels share a chroma sample; a picture that starts or ends
        // half-way through a pair has a single pixel there.
        int x = 0;
        int cx = pictureX >> 1;
        if (pictureX & 1) {
            pixel(luma[0], chromaTerms(cb[cx], cr[cx]), out);
            out += 3;
            x = 1;
            cx++;
        }
        for (; x + 1 < width; x += 2, cx++, out += 6) {
            ChromaTerms terms = chromaTerms(cb[cx], cr[cx]);
            pixel(luma[x], terms, out);
            pixel(luma[x + 1], terms, out + 3);
        }
        if (x < width)
            pixel(luma[x], chromaTerms(cb[cx], cr[cx]), out);
    }
    return true;
}

bool MDL_Stream::convertPicture()
{
    MDL_StreamDecoder *d = m_poDecoder;
    d->m_bPictureWaiting = false;
    if (d->m_poTheora == nullptr || m_pucPixels == nullptr)
        return false;
    th_ycbcr_buffer buffer;
    if (th_decode_ycbcr_out(d->m_poTheora, buffer) != 0)
        return false;
    MDL_YCbCrPlane planes[3];
    for (int i = 0; i < 3; i++) {
        planes[i].m_iWidth = buffer[i].width;
        planes[i].m_iHeight = buffer[i].height;
        planes[i].m_iStride = buffer[i].stride;
        planes[i].m_pucData = buffer[i].data;
    }
    const th_info &info = d->m_oTheoraInfo;
    int shiftX = info.pixel_fmt == TH_PF_444 ? 0 : 1;
    int shiftY = info.pixel_fmt == TH_PF_420 ? 1 : 0;
    if (!MDL_bConvertYCbCr(planes, shiftX, shiftY, static_cast<int>(info.pic_x), static_cast<int>(info.pic_y),
                           static_cast<int>(info.pic_width), static_cast<int>(info.pic_height), m_pucPixels))
        return false;
    m_poTexture->m_bFrameChanged = true;
    return true;
}
