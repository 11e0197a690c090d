// The surface of one texture layer of a material, and the modelview of an
// object.
#include "view/opengl/VIEW_OpenGL.h"

#include "foundation/MTH_Frame.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Texture.h"
#include "view/opengl/VIEW_OpenGLDrawing.h"

namespace {

// The cap of OpenGL's specular exponent, and the factor material
// shininess is scaled by (the single-precision 1.2).
const double MAX_SHININESS = 128;
const double SHININESS_SCALE = static_cast<double>(1.2f);

void setMaterialColor(GLenum which, const MTH_Vector4D &c)
{
    const GLfloat values[4] = {static_cast<GLfloat>(c.m_fX), static_cast<GLfloat>(c.m_fY), static_cast<GLfloat>(c.m_fZ),
                               static_cast<GLfloat>(c.m_fW)};
    glMaterialfv(GL_FRONT_AND_BACK, which, values);
}

MTH_Vector4D product(const MTH_Vector4D &a, const MTH_Vector4D &b)
{
    return MTH_Vector4D(a.m_fX * b.m_fX, a.m_fY * b.m_fY, a.m_fZ * b.m_fZ, a.m_fW * b.m_fW);
}

} // namespace

bool VIEW_OpenGL::setupMaterial(MDL_Material *material, int layer, bool overlay, bool forceBlend)
{
    if (material == nullptr) {
        if (overlay) {
            glDisable(GL_LIGHTING);
            glColor4d(1, 1, 1, 1);
        } else {
            glEnable(GL_LIGHTING);
            setMaterialColor(GL_SPECULAR, MTH_Vector4D(1, 1, 1, 1));
            setMaterialColor(GL_DIFFUSE, MTH_Vector4D(1, 1, 1, 1));
            setMaterialColor(GL_AMBIENT, MTH_Vector4D(0.5, 0.5, 0.5, 1));
            glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50);
        }
        VIEW_enable(GL_BLEND, forceBlend);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_TEXTURE_2D);
        return false;
    }

    bool alphaTest = false, blend = false, texturing = false;
    MTH_Vector4D color = material->m_oDiffuse;
    MDL_TextureLayer *l = material->getLayer(layer);
    if (l != nullptr) {
        color = product(material->m_oDiffuse, l->m_oColor);
        MDL_Texture *texture = l->m_poTexture;
        if (texture != nullptr) {
            VIEW_ImageTexture *entry = getImageTexture(texture);
            MTH_Matrix4x4 matrix;
            if (entry != nullptr) {
                l->m_oTransform.getMatrix4x4(matrix);
                if (overlay) {
                    // [0, 1] x [0, 1] onto the rectangle the picture occupies.
                    MTH_Matrix4x4 rectangle;
                    rectangle.setIdentity();
                    rectangle.set(0, 0, entry->m_fUMax - entry->m_fUMin);
                    rectangle.set(1, 1, entry->m_fVMax - entry->m_fVMin);
                    rectangle.set(3, 0, entry->m_fUMin);
                    rectangle.set(3, 1, entry->m_fVMin);
                    rectangle.multiply(matrix, matrix);
                }
                texturing = true;
            } else {
                matrix.setIdentity();
            }
            glMatrixMode(GL_TEXTURE);
            glLoadMatrixd(matrix.data());
            glMatrixMode(GL_MODELVIEW);
            alphaTest = texture->m_bBinaryAlpha;
            blend = !texture->m_bBinaryAlpha && texture->m_bHasAlpha;
        }
    } else {
        blend = material->m_oDiffuse.m_fW < 1;
    }

    if (material->m_bShadeless || overlay) {
        glDisable(GL_LIGHTING);
        glColor4d(color.m_fX, color.m_fY, color.m_fZ, color.m_fW);
    } else {
        glEnable(GL_LIGHTING);
        setMaterialColor(GL_DIFFUSE, color);
        setMaterialColor(GL_AMBIENT, material->m_oAmbient);
        setMaterialColor(GL_SPECULAR, material->m_oSpecular);
        // Capped at OpenGL's largest exponent; a negative (or NaN) one,
        // which OpenGL refuses, gives 0.
        glMaterialf(
            GL_FRONT_AND_BACK, GL_SHININESS,
            static_cast<GLfloat>(VIEW_clampToRange(material->m_fShininess * SHININESS_SCALE, 0, MAX_SHININESS)));
    }
    VIEW_enable(GL_BLEND, forceBlend || blend || color.m_fW < 1);
    VIEW_enable(GL_ALPHA_TEST, alphaTest);
    VIEW_enable(GL_TEXTURE_2D, texturing);
    return texturing;
}

void VIEW_OpenGL::getModelview(MDL_Object *object, MTH_Matrix4x4 &out)
{
    MDL_Mesh *mesh = object->getType() == OBJECT_MESH ? static_cast<MDL_Mesh *>(object) : nullptr;
    if (mesh != nullptr && mesh->getDisplayMode() == DISPLAY_MODE_SPRITE) {
        // A sprite keeps its own basis relative to the eye: only its
        // position goes through the view.
        MTH_Frame frame(object->getGlobalFrame());
        m_oViewMatrix.transformPoint(frame.m_oPosition);
        frame.getMatrix4x4(out);
    } else {
        object->getGlobalFrame().getMatrix4x4(out);
        m_oViewMatrix.multiply(out, out);
    }
}

void VIEW_OpenGL::loadModelview(MDL_Object *object)
{
    MTH_Matrix4x4 matrix;
    getModelview(object, matrix);
    glLoadMatrixd(matrix.data());
}
