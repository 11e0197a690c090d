#include "model/MDL_Mike.h"

MDL_Mike::MDL_Mike() : m_fGain(1.0), m_bOn(true)
{
    m_iType = OBJECT_MIKE;
}

MDL_Mike::MDL_Mike(const MDL_Mike &other) : MDL_Object(other), m_fGain(other.m_fGain), m_bOn(other.m_bOn) {}

MDL_Mike::~MDL_Mike() {}
