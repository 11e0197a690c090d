#pragma once

// Conversion of a decoded YCbCr picture to the RGB pixels of a movie's frame
// texture.

// One plane of a decoded frame: its size in samples, the distance from one
// row to the next in bytes (negative when the rows lie bottom-up in memory)
// and its top row.
struct MDL_YCbCrPlane {
    int m_iWidth;
    int m_iHeight;
    int m_iStride;
    const unsigned char *m_pucData;
};

// Converts the picture of width x height pixels at (pictureX, pictureY) from
// the top-left corner of the frame in planes (Y, Cb, Cr) into rgb: 3 bytes a
// pixel, no padding, the picture's top row last (rows bottom-up). The chroma
// planes are subsampled by 2 to the power chromaShiftX horizontally and
// chromaShiftY vertically (1 and 1 for 4:2:0, 1 and 0 for 4:2:2, 0 and 0 for
// 4:4:4): the pixel at frame position (x, y) takes the chroma sample at
// (x >> chromaShiftX, y >> chromaShiftY). The ITU-R BT.601 video-range
// coefficients are applied in 22-bit fixed point with 64-bit sums, each
// channel clamped to 0 .. 255. False, and nothing written, when the picture
// or its chroma samples do not lie inside the planes.
bool MDL_bConvertYCbCr(const MDL_YCbCrPlane planes[3], int chromaShiftX, int chromaShiftY, int pictureX, int pictureY,
                       int width, int height, unsigned char *rgb);

// The same conversion for one pixel: rgb receives 3 bytes.
void MDL_convertYCbCrPixel(int y, int cb, int cr, unsigned char *rgb);
