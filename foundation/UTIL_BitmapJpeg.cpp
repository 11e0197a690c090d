// JPEG decoding with libjpeg from a memory block. libjpeg's fatal errors
// long-jump back into the decoder, which then frees what it made and fails;
// its messages are formatted and dropped.
#include "foundation/UTIL_Bitmap.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Bounds on what a hostile file can make libjpeg spend: the memory of its own
// working arrays (a progressive image keeps all its coefficients) and the
// number of scans (each scan of a progressive image passes over the whole
// image, however few bytes it takes).
const long kiJpegMaxMemory = 512L << 20;
const int kiJpegMaxScans = 500;

struct JpegError {
    jpeg_error_mgr m_oManager;
    jmp_buf m_oReturn;
};

void jpegErrorExit(j_common_ptr cinfo)
{
    JpegError *error = reinterpret_cast<JpegError *>(cinfo->err);
    longjmp(error->m_oReturn, 1);
}

void jpegOutputMessage(j_common_ptr cinfo)
{
    char buffer[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, buffer);
}

void jpegProgress(j_common_ptr cinfo)
{
    j_decompress_ptr decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kiJpegMaxScans)
        ERREXIT(cinfo, JERR_BAD_PROGRESSION); // the code only names the failure; messages are dropped
}

// The memory source: the whole block at the first request; a second request
// or a skip that reaches the end means the file is truncated.
struct JpegSource {
    jpeg_source_mgr m_oManager;
    const unsigned char *m_pucData;
    size_t m_uSize;
    bool m_bHandedOver;
};

void jpegInitSource(j_decompress_ptr cinfo)
{
    cinfo->src->next_input_byte = nullptr;
    cinfo->src->bytes_in_buffer = 0;
}

boolean jpegFillInput(j_decompress_ptr cinfo)
{
    JpegSource *source = reinterpret_cast<JpegSource *>(cinfo->src);
    if (source->m_bHandedOver || source->m_uSize == 0)
        ERREXIT(cinfo, JERR_INPUT_EOF);
    source->m_bHandedOver = true;
    cinfo->src->next_input_byte = source->m_pucData;
    cinfo->src->bytes_in_buffer = source->m_uSize;
    return TRUE;
}

void jpegSkipInput(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    if (static_cast<unsigned long>(count) >= cinfo->src->bytes_in_buffer)
        ERREXIT(cinfo, JERR_INPUT_EOF);
    cinfo->src->next_input_byte += count;
    cinfo->src->bytes_in_buffer -= static_cast<size_t>(count);
}

void jpegTermSource(j_decompress_ptr) {}

} // namespace

bool UTIL_Bitmap::decodeJpeg(const unsigned char *data, size_t size, const char *)
{
    // Zeroed, so that a failure inside jpeg_create_decompress finds no memory
    // manager to destroy.
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof(cinfo));
    JpegError error;
    cinfo.err = jpeg_std_error(&error.m_oManager);
    error.m_oManager.error_exit = jpegErrorExit;
    error.m_oManager.output_message = jpegOutputMessage;
    error.m_oManager.trace_level = 0;
    unsigned char *volatile pixels = nullptr;
    if (setjmp(error.m_oReturn)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(pixels);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kiJpegMaxMemory;
    jpeg_progress_mgr progress;
    progress.progress_monitor = jpegProgress;
    cinfo.progress = &progress;

    JpegSource source;
    source.m_oManager.init_source = jpegInitSource;
    source.m_oManager.fill_input_buffer = jpegFillInput;
    source.m_oManager.skip_input_data = jpegSkipInput;
    source.m_oManager.resync_to_restart = jpeg_resync_to_restart;
    source.m_oManager.term_source = jpegTermSource;
    source.m_oManager.next_input_byte = nullptr;
    source.m_oManager.bytes_in_buffer = 0;
    source.m_pucData = data;
    source.m_uSize = size;
    source.m_bHandedOver = false;
    cinfo.src = &source.m_oManager;

    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    int components = 0;
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo.out_color_space = JCS_GRAYSCALE;
        components = 1;
        break;
    case JCS_RGB:
    case JCS_YCbCr:
        cinfo.out_color_space = JCS_RGB;
        components = 3;
        break;
    default:
        break;
    }
    size_t bytes =
        cinfo.image_width <= 0x7fffffff && cinfo.image_height <= 0x7fffffff
            ? byteCount(static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height), components)
            : 0;
    if (bytes == 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    pixels = static_cast<unsigned char *>(std::malloc(bytes));
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
    if (width != cinfo.image_width || height != cinfo.image_height || cinfo.output_components != components) {
        jpeg_destroy_decompress(&cinfo);
        std::free(pixels);
        return false;
    }
    // The file's first scanline goes to the buffer's last row.
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(components);
    while (cinfo.output_scanline < height) {
        JSAMPROW row = pixels + rowBytes * (height - 1 - cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            jpeg_destroy_decompress(&cinfo);
            std::free(pixels);
            return false;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);

    m_iComponents = components;
    adopt(pixels, static_cast<int>(width), static_cast<int>(height));
    return true;
}
