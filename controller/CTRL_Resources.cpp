#include "controller/CTRL_Generic.h"

#include <algorithm>
#include <cstdlib>

#include "controller/CTRL_StreamReader.h"
#include "foundation/UTIL_Log.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Animation.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Font.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_Object.h"
#include "model/MDL_Physics.h"
#include "model/MDL_Sample.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Stream.h"
#include "model/MDL_Texture.h"
#include "model/MDL_VertexGroup.h"
#include "model/MDL_Viewport.h"

// The resource lists and the default font. The lists own their elements.

namespace {

CTRL_ForgetFunction s_apfnForget[MDL_TYPE_COUNT] = {};

template <typename T> void destroyAll(UTIL_DynArray<T *, 128> &list)
{
    for (int i = 0; i < list.m_iCount; i++)
        delete list[i];
    list.resize(0);
}

// Takes element out of list (order kept); false when it is not listed.
template <typename T> bool unlist(UTIL_DynArray<T *, 128> &list, T *element)
{
    if (element == nullptr)
        return false;
    int i = list.find(element);
    if (i < 0)
        return false;
    list.remove(i);
    return true;
}

const char *nameOf(const char *name)
{
    return name != nullptr ? name : "";
}

// An object whose parent goes becomes a root where it stands in the scene.
void dropParent(MDL_Object *object)
{
    MTH_Frame global = object->getGlobalFrame();
    object->unlinkFromParent();
    object->setParent(nullptr);
    object->editLocalFrame() = global;
}

// What a mesh or an animated mesh lets go of; true when it held any of it.
bool forgetInMesh(MDL_Mesh *mesh, const CTRL_ResourceRemoval &removal)
{
    bool held = false;
    if (removal.contains(mesh->m_poMeshData)) {
        mesh->setMeshData(nullptr);
        mesh->m_bChanged = true;
        held = true;
    }
    if (removal.contains(mesh->m_poMaterial)) {
        // A material of its own is the mesh's copy, never a set's.
        mesh->setMaterial(nullptr);
        held = true;
    }
    if (removal.forgetTextures(mesh->m_poMaterial) > 0)
        held = true;
    if (removal.contains(mesh->m_poShadowLamp)) {
        mesh->m_poShadowLamp = nullptr;
        mesh->m_bChanged = true;
        held = true;
    }
    if (mesh->m_iType == OBJECT_ANIMATED_MESH) {
        MDL_AnimatedMesh *skin = static_cast<MDL_AnimatedMesh *>(mesh);
        for (int i = 0; i < skin->m_iNumBindings; i++) {
            if (removal.contains(skin->m_ppoGroups[i])) {
                skin->m_ppoGroups[i] = nullptr;
                held = true;
            }
            if (removal.contains(skin->m_ppoBones[i])) {
                skin->m_ppoBones[i] = nullptr;
                held = true;
            }
        }
    }
    return held;
}

bool forgetInObject(MDL_Object *object, const CTRL_ResourceRemoval &removal)
{
    bool held = false;
    if (removal.contains(object->m_poParent)) {
        dropParent(object);
        held = true;
    }
    int type = object->m_iType;
    if (type == OBJECT_MESH || type == OBJECT_ANIMATED_MESH)
        held = forgetInMesh(static_cast<MDL_Mesh *>(object), removal) || held;
    else if (type >= 0 && type < MDL_TYPE_COUNT && s_apfnForget[type] != nullptr)
        held = s_apfnForget[type](object, removal) || held;
    return held;
}

bool forgetInAnimation(MDL_Animation *animation, const CTRL_ResourceRemoval &removal)
{
    bool held = false;
    if (removal.contains(animation->m_poData)) {
        animation->setData(nullptr);
        held = true;
    }
    if (removal.contains(animation->m_poTarget)) {
        animation->setTarget(nullptr);
        held = true;
    }
    if (held)
        animation->pause();
    return held;
}

} // namespace

// --- removal descriptions ---

void CTRL_ResourceRemoval::add(const void *pointer)
{
    if (pointer == nullptr)
        return;
    m_oPointers.append(reinterpret_cast<uintptr_t>(pointer));
    m_bSorted = false;
}

void CTRL_ResourceRemoval::sort() const
{
    if (m_bSorted)
        return;
    uintptr_t *data = const_cast<uintptr_t *>(m_oPointers.m_pData);
    std::sort(data, data + m_oPointers.m_iCount);
    m_bSorted = true;
}

bool CTRL_ResourceRemoval::contains(const void *pointer) const
{
    if (pointer == nullptr || m_oPointers.m_iCount == 0)
        return false;
    sort();
    const uintptr_t *begin = m_oPointers.m_pData;
    const uintptr_t *end = begin + m_oPointers.m_iCount;
    return std::binary_search(begin, end, reinterpret_cast<uintptr_t>(pointer));
}

int CTRL_ResourceRemoval::forgetTextures(MDL_Material *material) const
{
    if (material == nullptr)
        return 0;
    int emptied = 0;
    for (int i = 0; i < material->m_oLayers.m_iCount; i++) {
        MDL_TextureLayer &layer = material->m_oLayers[i];
        if (contains(layer.m_poTexture)) {
            layer.m_poTexture = nullptr;
            emptied++;
        }
    }
    return emptied;
}

bool CTRL_Generic::setForgetFunction(int type, CTRL_ForgetFunction forget)
{
    if (type < 0 || type >= MDL_TYPE_COUNT || type == OBJECT_MESH || type == OBJECT_ANIMATED_MESH)
        return false;
    s_apfnForget[type] = forget;
    return true;
}

int CTRL_Generic::forgetResources(const CTRL_ResourceRemoval &removal)
{
    if (removal.isEmpty())
        return 0;
    int holders = 0;
    for (int s = 0; s < m_oScenes.m_iCount; s++) {
        MDL_Scene *scene = m_oScenes[s];
        for (int i = 0; i < scene->m_oObjects.m_iCount; i++)
            holders += forgetInObject(scene->m_oObjects[i], removal);
        for (int i = 0; i < scene->m_oAnimations.m_iCount; i++)
            holders += forgetInAnimation(scene->m_oAnimations[i], removal);
    }
    for (int s = 0; s < m_oModelsSets.m_iCount; s++) {
        MDL_ModelsSet *set = m_oModelsSets[s];
        for (int i = 0; i < set->m_oObjects.m_iCount; i++)
            holders += forgetInObject(set->m_oObjects[i], removal);
        for (int i = 0; i < set->m_oMaterials.m_iCount; i++)
            holders += removal.forgetTextures(set->m_oMaterials[i]) > 0;
    }
    for (int v = 0; v < m_oViewports.m_iCount; v++) {
        MDL_Viewport *viewport = m_oViewports[v];
        bool held = false;
        if (removal.contains(viewport->m_poCamera)) {
            viewport->m_poCamera = nullptr;
            held = true;
        }
        if (removal.contains(viewport->m_poMike)) {
            viewport->m_poMike = nullptr;
            held = true;
        }
        holders += held;
    }
    if (removal.contains(m_poGrabbedObject)) {
        m_poGrabbedObject = nullptr;
        m_bLeftButtonDown = false;
        holders++;
    }
    if (removal.contains(m_poHoverObject)) {
        m_poHoverObject = nullptr;
        holders++;
    }
    return holders;
}

// --- adding ---

MDL_Scene *CTRL_Generic::addScene(const char *name)
{
    MDL_Scene *scene = new MDL_Scene(name);
    scene->setPhysics(&MDL_RigidBodyPhysics::instance());
    m_oScenes.append(scene);
    return scene;
}

MDL_Viewport *CTRL_Generic::addViewport(const MTH_Vector2D &position, const MTH_Vector2D &size)
{
    MDL_Viewport *viewport = new MDL_Viewport(position, size);
    m_oViewports.append(viewport);
    m_poCurrentViewport = viewport;
    return viewport;
}

MDL_Stream *CTRL_Generic::addStream(const char *name)
{
    MDL_Stream *stream = new MDL_Stream(name, CTRL_StreamReader::open(this, name));
    m_oStreams.append(stream);
    return stream;
}

MDL_Texture *CTRL_Generic::addTexture(const char *name)
{
    unsigned char *data = nullptr;
    int size = 0;
    bool owned = extractMember(name, &data, &size, false);
    if (data == nullptr)
        return nullptr;
    // Bytes that point into the document stay valid while the document
    // buffer lives, which is longer than any resource.
    MDL_Texture *texture = new MDL_Texture(name, data, static_cast<uint32_t>(size), owned);
    m_oTextures.append(texture);
    return texture;
}

void CTRL_Generic::releaseTexture(MDL_Texture *texture)
{
    if (texture != nullptr)
        texture->m_bReleasePending = true;
}

MDL_Font *CTRL_Generic::addFont(const char *name)
{
    unsigned char *data = nullptr;
    int size = 0;
    bool owned = extractMember(name, &data, &size, false);
    if (data == nullptr || size <= 0) {
        if (owned)
            free(data);
        return nullptr;
    }
    MDL_Font *font = new MDL_Font(name, data, size, owned);
    m_oFonts.append(font);
    return font;
}

MDL_Sample *CTRL_Generic::addSample(const char *name)
{
    unsigned char *data = nullptr;
    int size = 0;
    bool owned = extractMember(name, &data, &size, false);
    if (data == nullptr)
        return nullptr;
    MDL_Sample *sample = new MDL_Sample(name, data, size, owned); // frees owned bytes once decoded
    m_oSamples.append(sample);
    return sample;
}

MDL_ModelsSet *CTRL_Generic::addModelsSet(const char *name)
{
    unsigned char *text = nullptr;
    int size = 0;
    bool owned = extractMember(name, &text, &size, true);
    if (text == nullptr)
        return nullptr;
    MDL_ModelsSet *set = new MDL_ModelsSet;
    set->setName(name);
    m_oModelsSets.append(set);
    bool loaded = set->load(reinterpret_cast<const char *>(text));
    if (owned)
        free(text);
    if (!loaded) {
        // Nothing can point into a set that never loaded.
        unlist(m_oModelsSets, set);
        delete set;
        return nullptr;
    }
    return set;
}

// --- removing ---

bool CTRL_Generic::removeViewport(MDL_Viewport *viewport)
{
    if (!unlist(m_oViewports, viewport))
        return false;
    if (m_poCurrentViewport == viewport)
        m_poCurrentViewport = nullptr;
    delete viewport;
    return true;
}

bool CTRL_Generic::removeStream(MDL_Stream *stream)
{
    if (!unlist(m_oStreams, stream))
        return false;
    // The frame texture goes with the stream unless it was handed over; the
    // stream's destructor silences the sounds that play its audio.
    if (stream->m_bOwnsTexture) {
        CTRL_ResourceRemoval removal;
        removal.add(stream->getTexture());
        int holders = forgetResources(removal);
        if (holders > 0)
            UTIL_warn("Movie %s deleted while in use: %d users lost its frames", nameOf(stream->getName()), holders);
    }
    delete stream;
    return true;
}

bool CTRL_Generic::removeTexture(MDL_Texture *texture)
{
    if (!unlist(m_oTextures, texture))
        return false;
    CTRL_ResourceRemoval removal;
    removal.add(texture);
    int holders = forgetResources(removal);
    if (holders > 0)
        UTIL_warn("Texture %s deleted while in use: %d users lost it", nameOf(texture->getName()), holders);
    delete texture;
    return true;
}

bool CTRL_Generic::removeFont(MDL_Font *font)
{
    if (!unlist(m_oFonts, font))
        return false;
    CTRL_ResourceRemoval removal;
    removal.add(font);
    removal.m_poFont = font;
    removal.m_poReplacementFont = m_poDefaultFont;
    int holders = forgetResources(removal);
    if (holders > 0)
        UTIL_warn("Font %s deleted while in use: %d users took the default font", nameOf(font->getName()), holders);
    delete font;
    return true;
}

bool CTRL_Generic::removeSample(MDL_Sample *sample)
{
    if (!unlist(m_oSamples, sample))
        return false;
    int users = MDL_Sound::countUsers(sample);
    if (users > 0)
        UTIL_warn("Sample %s deleted while %d sounds played it", nameOf(sample->getName()), users);
    MDL_Sound::forgetSample(sample);
    delete sample;
    return true;
}

bool CTRL_Generic::removeModelsSet(MDL_ModelsSet *set)
{
    if (!unlist(m_oModelsSets, set))
        return false;
    CTRL_ResourceRemoval removal;
    for (int i = 0; i < set->m_oObjects.m_iCount; i++)
        removal.add(set->m_oObjects[i]);
    for (int i = 0; i < set->m_oMaterials.m_iCount; i++)
        removal.add(set->m_oMaterials[i]);
    for (int i = 0; i < set->m_oTextures.m_iCount; i++)
        removal.add(set->m_oTextures[i]);
    for (int i = 0; i < set->m_oMeshData.m_iCount; i++)
        removal.add(set->m_oMeshData[i]);
    for (int i = 0; i < set->m_oAnimationData.m_iCount; i++)
        removal.add(set->m_oAnimationData[i]);
    for (int i = 0; i < set->m_oVertexGroups.m_iCount; i++)
        removal.add(set->m_oVertexGroups[i]);
    int holders = forgetResources(removal);
    // Templates listed under objects outside the set leave those lists.
    for (int i = 0; i < set->m_oObjects.m_iCount; i++) {
        MDL_Object *object = set->m_oObjects[i];
        if (object->m_poParent != nullptr && !removal.contains(object->m_poParent)) {
            object->unlinkFromParent();
            holders++;
        }
    }
    if (holders > 0)
        UTIL_warn("Models set %s deleted while in use: %d users lost its data", nameOf(set->getName()), holders);
    delete set;
    return true;
}

void CTRL_Generic::removeAllResources()
{
    // In this order nothing is destroyed while a later list still points
    // into it: viewports show scenes' cameras, scene objects share the
    // models sets' data and play samples, materials show textures and movie
    // frames, texts use fonts.
    destroyAll(m_oViewports);
    m_poCurrentViewport = nullptr;
    destroyAll(m_oScenes);
    m_poGrabbedObject = nullptr;
    m_poHoverObject = nullptr;
    destroyAll(m_oModelsSets);
    for (int i = 0; i < m_oSamples.m_iCount; i++)
        MDL_Sound::forgetSample(m_oSamples[i]);
    destroyAll(m_oSamples);
    destroyAll(m_oTextures);
    destroyAll(m_oStreams);
    destroyAll(m_oFonts);
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
