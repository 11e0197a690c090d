// The lamps of a scene as OpenGL's fixed-function lights.
#include <cmath>

#include "model/MDL_Lamp.h"
#include "model/MDL_Scene.h"
#include "view/opengl/VIEW_OpenGL.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

// OpenGL has at least eight lights; the scene shadows only lamps among them.
const int MAX_LIGHTS = MDL_Scene::MAX_LIT_LAMPS;
// OpenGL's largest spot exponent and cone (a larger cone is no spot: 180).
const double MAX_SPOT_EXPONENT = 128;
const double MAX_SPOT_CUTOFF = 90;

void setLight(GLenum light, GLenum which, double x, double y, double z, double w)
{
    const GLfloat values[4] = {static_cast<GLfloat>(x), static_cast<GLfloat>(y), static_cast<GLfloat>(z),
                               static_cast<GLfloat>(w)};
    glLightfv(light, which, values);
}

// An attenuation coefficient OpenGL can take: a distance of 0 (or below)
// would make it infinite, and with it the light at the lamp itself NaN;
// such a coefficient, and a negative one, which OpenGL refuses, is dropped.
GLfloat attenuation(double coefficient)
{
    return std::isfinite(coefficient) && coefficient > 0 ? static_cast<GLfloat>(coefficient) : 0.0f;
}

void setAttenuation(GLenum light, const MDL_Lamp *lamp)
{
    double distance = lamp->m_fDistance;
    glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightf(light, GL_LINEAR_ATTENUATION, attenuation(lamp->m_fQuad1 / distance));
    glLightf(light, GL_QUADRATIC_ATTENUATION, attenuation(lamp->m_fQuad2 / (distance * distance)));
}

void placeLight(GLenum light, MDL_Lamp *lamp)
{
    const MTH_Vector3D &position = lamp->getGlobalPosition();
    const MTH_Vector3D &axis = lamp->getGlobalBasis().getRow(2);
    switch (lamp->m_iLampType) {
    case MDL_Lamp::LAMP_POINT:
        setLight(light, GL_POSITION, position.m_fX, position.m_fY, position.m_fZ, 1);
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        setAttenuation(light, lamp);
        break;
    case MDL_Lamp::LAMP_SUN:
        // Directional: the light comes from the lamp's third axis.
        setLight(light, GL_POSITION, axis.m_fX, axis.m_fY, axis.m_fZ, 0);
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        break;
    case MDL_Lamp::LAMP_SPOT: {
        setLight(light, GL_POSITION, position.m_fX, position.m_fY, position.m_fZ, 1);
        const GLfloat direction[3] = {static_cast<GLfloat>(-axis.m_fX), static_cast<GLfloat>(-axis.m_fY),
                                      static_cast<GLfloat>(-axis.m_fZ)};
        glLightfv(light, GL_SPOT_DIRECTION, direction);
        // Within the ranges OpenGL accepts (it refuses the light otherwise).
        glLightf(light, GL_SPOT_CUTOFF, static_cast<GLfloat>(VIEW_clampToRange(lamp->m_fSpotSize, 0, MAX_SPOT_CUTOFF)));
        glLightf(light, GL_SPOT_EXPONENT,
                 static_cast<GLfloat>(VIEW_clampToRange(lamp->m_fSpotExponent, 0, MAX_SPOT_EXPONENT)));
        setAttenuation(light, lamp);
        break;
    }
    default:
        // Other kinds keep whatever placement the light last had.
        break;
    }
}

} // namespace

MDL_Lamp *VIEW_OpenGL::setupLights(MDL_Scene *scene, int &lightIndex)
{
    for (int i = 0; i < MAX_LIGHTS; i++)
        glDisable(GL_LIGHT0 + i);
    const GLfloat none[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    lightIndex = -1;
    // The scene says which lamp casts the shadows (the one the shadow
    // volumes were built for): here it gets its light's index.
    MDL_Lamp *shadowLamp = scene->getShadowLamp();
    int k = 0;
    for (int i = 0; i < scene->m_oLamps.m_iCount && k < MAX_LIGHTS; i++) {
        MDL_Lamp *lamp = static_cast<MDL_Lamp *>(scene->m_oLamps.m_pData[i]);
        if (!lamp->m_bOn)
            continue;
        if (lamp == shadowLamp)
            lightIndex = k;
        GLenum light = GL_LIGHT0 + k;
        glEnable(light);
        placeLight(light, lamp);
        const MTH_Vector4D &c = lamp->m_oColor;
        double e = lamp->m_fEnergy;
        if (lamp->m_bNoDiffuse)
            setLight(light, GL_DIFFUSE, 0, 0, 0, 1);
        else
            setLight(light, GL_DIFFUSE, c.m_fX * e, c.m_fY * e, c.m_fZ * e, 1);
        if (lamp->m_bNoSpecular)
            setLight(light, GL_SPECULAR, 0, 0, 0, 1);
        else
            setLight(light, GL_SPECULAR, c.m_fX * e, c.m_fY * e, c.m_fZ * e, 1);
        const MTH_Vector4D &a = lamp->m_oAmbientColor;
        setLight(light, GL_AMBIENT, a.m_fX, a.m_fY, a.m_fZ, a.m_fW);
        k++;
    }
    return shadowLamp;
}
