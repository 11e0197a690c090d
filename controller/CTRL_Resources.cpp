#include "controller/CTRL_Generic.h"

// The resource lists and the default font. The lists own their elements.

void CTRL_Generic::removeAllResources()
{
    m_oViewports.resize(0);
    m_oScenes.resize(0);
    m_oModelsSets.resize(0);
    m_oSamples.resize(0);
    m_oTextures.resize(0);
    m_oStreams.resize(0);
    m_oFonts.resize(0);
    m_poCurrentViewport = nullptr;
}

void CTRL_Generic::createDefaultFont()
{
    m_poDefaultFont = nullptr;
}

void CTRL_Generic::destroyDefaultFont()
{
    m_poDefaultFont = nullptr;
}

void CTRL_Generic::destroyLogoImage()
{
    m_poLogoImage = nullptr;
}
