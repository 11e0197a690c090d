#include "controller/CTRL_StreamReader.h"

#include "controller/CTRL_Stream.h"

CTRL_StreamReader *CTRL_StreamReader::open(CTRL_Generic *controller, const char *name)
{
    CTRL_Stream *stream = CTRL_Stream::open(controller, name, "rb");
    if (stream == nullptr)
        return nullptr;
    return new CTRL_StreamReader(stream);
}

CTRL_StreamReader::~CTRL_StreamReader()
{
    CTRL_Stream::close(m_poStream);
}

size_t CTRL_StreamReader::read(void *buffer, size_t size)
{
    return CTRL_Stream::read(buffer, 1, size, m_poStream);
}

bool CTRL_StreamReader::seek(long offset, int whence)
{
    return CTRL_Stream::seek(m_poStream, offset, whence) == 0;
}

long CTRL_StreamReader::tell()
{
    return CTRL_Stream::tell(m_poStream);
}
