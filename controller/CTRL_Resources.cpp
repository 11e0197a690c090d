#include "controller/CTRL_Generic.h"

#include "model/MDL_Font.h"

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
    // The name selects the built-in font data, which the font does not own.
    m_poDefaultFont = new MDL_Font("default", nullptr, 0, false);
}

void CTRL_Generic::destroyDefaultFont()
{
    delete m_poDefaultFont;
    m_poDefaultFont = nullptr;
}

void CTRL_Generic::destroyLogoImage()
{
    m_poLogoImage = nullptr;
}
