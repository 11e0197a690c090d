#pragma once

#include "model/MDL_FileReader.h"

class CTRL_Generic;
class CTRL_Stream;

// A file of the stream layer handed to a model class that reads as it goes.
class CTRL_StreamReader : public MDL_FileReader {
public:
    // Opens name through the controller's stream layer for reading; null
    // when it does not open.
    static CTRL_StreamReader *open(CTRL_Generic *controller, const char *name);
    ~CTRL_StreamReader() override;

    size_t read(void *buffer, size_t size) override;
    bool seek(long offset, int whence) override;
    long tell() override;

private:
    explicit CTRL_StreamReader(CTRL_Stream *stream) : m_poStream(stream) {}
    CTRL_Stream *m_poStream;
};
