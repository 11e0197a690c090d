#pragma once

#include <cstddef>

// A file that a model class reads as it goes (a movie's Ogg pages), opened
// for it by a higher layer: the controller hands over its stream layer's file
// of a document member or of a real file beside the document. Deleting the
// reader closes the file.
class MDL_FileReader {
public:
    virtual ~MDL_FileReader() = default;
    // Reads up to size bytes; the number read, 0 at the end or on an error.
    virtual size_t read(void *buffer, size_t size) = 0;
    // Moves to offset from whence (SEEK_SET, SEEK_CUR, SEEK_END); true when
    // it moved.
    virtual bool seek(long offset, int whence) = 0;
    // The position, or -1.
    virtual long tell() = 0;
};
