#include "model/MDL_ModelsSet.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <tinyxml.h>
#include <new>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_AnimationData.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Camera.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Locator.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_ModelsSetIndex.h"
#include "model/MDL_Object.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Texture.h"
#include "model/MDL_VertexGroup.h"

namespace {

// The records of one kind inside the first top-level container of that name.
const TiXmlElement *firstRecord(const TiXmlDocument &document, const char *container, const char *record)
{
    const TiXmlElement *c = document.FirstChildElement(container);
    return c != nullptr ? c->FirstChildElement(record) : nullptr;
}

template <typename T> T *findByName(const UTIL_DynArray<T *> &list, const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (int i = 0; i < list.m_iCount; i++) {
        const char *n = list[i]->getName();
        if (n != nullptr && strcasecmp(n, name) == 0)
            return list[i];
    }
    return nullptr;
}

template <typename T> void deleteAll(UTIL_DynArray<T *> &list)
{
    for (int i = 0; i < list.m_iCount; i++)
        delete list[i];
    list.resize(0);
}

} // namespace

MDL_ModelsSet::MDL_ModelsSet() : m_sName(nullptr) {}

MDL_ModelsSet::~MDL_ModelsSet()
{
    m_oProxyHandle.release();
    deleteAll(m_oObjects);
    deleteAll(m_oMaterials);
    deleteAll(m_oTextures);
    deleteAll(m_oMeshData);
    deleteAll(m_oAnimationData);
    deleteAll(m_oVertexGroups);
    free(m_sName);
}

void MDL_ModelsSet::setName(const char *name)
{
    char *copy = name != nullptr ? strdup(name) : nullptr;
    free(m_sName);
    m_sName = copy;
}

// --- lookups ---

MDL_Object *MDL_ModelsSet::getObject(const char *name) const
{
    if (name == nullptr)
        return nullptr;
    for (int i = 0; i < m_oObjects.m_iCount; i++) {
        const char *n = m_oObjects[i]->m_sName;
        if (n != nullptr && strcasecmp(n, name) == 0)
            return m_oObjects[i];
    }
    return nullptr;
}

MDL_AnimationData *MDL_ModelsSet::getAnimationData(const char *name) const
{
    return findByName(m_oAnimationData, name);
}

MDL_Material *MDL_ModelsSet::getMaterial(const char *name) const
{
    return findByName(m_oMaterials, name);
}

MDL_Texture *MDL_ModelsSet::getTexture(const char *name) const
{
    return findByName(m_oTextures, name);
}

MDL_MeshData *MDL_ModelsSet::getMeshData(const char *name) const
{
    return findByName(m_oMeshData, name);
}

MDL_VertexGroup *MDL_ModelsSet::getVertexGroup(const char *name) const
{
    return findByName(m_oVertexGroups, name);
}

char **MDL_ModelsSet::getNames(int type, int &count) const
{
    count = 0;
    for (int i = 0; i < m_oObjects.m_iCount; i++)
        if (m_oObjects[i]->m_iType == type && m_oObjects[i]->m_poParent == nullptr)
            count++;
    if (count == 0)
        return nullptr;
    char **names = static_cast<char **>(malloc(sizeof(char *) * static_cast<size_t>(count)));
    if (names == nullptr)
        throw std::bad_alloc(); // out of memory, as new reports it
    int k = 0;
    for (int i = 0; i < m_oObjects.m_iCount; i++) {
        const MDL_Object *o = m_oObjects[i];
        if (o->m_iType == type && o->m_poParent == nullptr)
            names[k++] = o->m_sName != nullptr ? strdup(o->m_sName) : nullptr;
    }
    return names;
}

void MDL_ModelsSet::freeNames(char **names, int count)
{
    if (names == nullptr)
        return;
    for (int i = 0; i < count; i++)
        free(names[i]);
    free(names);
}

// --- loading ---

bool MDL_ModelsSet::isNestingWithin(const char *text, int limit)
{
    return UTIL_isNestingWithin(text, limit);
}

bool MDL_ModelsSet::load(const char *text)
{
    if (text == nullptr || text[0] == '\0')
        return false;
    // LoadBuffer refuses texts nested deeper than MAX_NESTING and parses
    // byte by byte, so names keep the bytes written.
    TiXmlDocument document(m_sName != nullptr ? m_sName : "");
    if (!LoadBuffer(document, text, 0)) {
        if (!UTIL_isNestingWithin(text, MAX_NESTING))
            UTIL_warn("Models set %s: elements nested deeper than %d levels", m_sName != nullptr ? m_sName : "",
                      MAX_NESTING);
        else
            UTIL_warn("Models set %s: %s (line %d, column %d)", m_sName != nullptr ? m_sName : "", document.ErrorDesc(),
                      document.ErrorRow(), document.ErrorCol());
        return false;
    }
    readTextures(document);
    readMaterials(document);
    readMeshData(document);
    readVertexGroups(document);
    readAnimationData(document);
    UTIL_DynArray<Record> records;
    createObjects(document, records);
    linkObjects(records);
    bindSkins(records);
    return true;
}

void MDL_ModelsSet::readTextures(const TiXmlDocument &document)
{
    for (const TiXmlElement *e = firstRecord(document, "textures", "texture"); e != nullptr;
         e = e->NextSiblingElement("texture")) {
        MDL_Texture *texture = new MDL_Texture;
        texture->loadFromXML(e);
        m_oTextures.append(texture);
    }
}

void MDL_ModelsSet::readMaterials(const TiXmlDocument &document)
{
    const TiXmlElement *first = firstRecord(document, "materials", "material");
    if (first == nullptr)
        return;
    MDL_NameIndex textures;
    textures.reserve(m_oTextures.m_iCount);
    for (int i = 0; i < m_oTextures.m_iCount; i++)
        textures.add(m_oTextures[i]->getName(), i);
    // The material reader makes one layer per "texture" child and applies
    // the "color" children; the layers' textures are then found through the
    // index, the first texture of each name as the reader would pick it, so
    // that no layer costs a scan of the texture list.
    for (const TiXmlElement *e = first; e != nullptr; e = e->NextSiblingElement("material")) {
        MDL_Material *material = new MDL_Material;
        material->loadFromXML(e);
        int layer = material->getLayerCount();
        material->readLayers(e, nullptr, 0);
        for (const TiXmlElement *t = e->FirstChildElement("texture"); t != nullptr && layer < material->getLayerCount();
             t = t->NextSiblingElement("texture"), layer++) {
            int i = textures.find(t->GetText());
            material->getLayer(layer)->m_poTexture = i >= 0 ? m_oTextures[i] : nullptr;
        }
        m_oMaterials.append(material);
    }
}

void MDL_ModelsSet::readMeshData(const TiXmlDocument &document)
{
    // Damaged mesh data stay in the list, empty, so that the objects naming
    // them still link (to nothing to draw).
    for (const TiXmlElement *e = firstRecord(document, "meshes", "mesh"); e != nullptr;
         e = e->NextSiblingElement("mesh")) {
        MDL_MeshData *data = new MDL_MeshData;
        data->loadFromXML(e);
        m_oMeshData.append(data);
    }
}

void MDL_ModelsSet::readVertexGroups(const TiXmlDocument &document)
{
    for (const TiXmlElement *e = firstRecord(document, "animated_meshes", "animated_mesh"); e != nullptr;
         e = e->NextSiblingElement("animated_mesh")) {
        MDL_VertexGroup *group = new MDL_VertexGroup;
        group->loadFromXML(e);
        m_oVertexGroups.append(group);
    }
}

void MDL_ModelsSet::readAnimationData(const TiXmlDocument &document)
{
    for (const TiXmlElement *e = firstRecord(document, "animations", "animation"); e != nullptr;
         e = e->NextSiblingElement("animation")) {
        MDL_AnimationData *data = new MDL_AnimationData;
        data->loadFromXML(e);
        m_oAnimationData.append(data);
    }
}

void MDL_ModelsSet::createObjects(const TiXmlDocument &document, UTIL_DynArray<Record> &records)
{
    int number = 0; // of the record among the object records, from 1
    for (const TiXmlElement *e = firstRecord(document, "objects", "object"); e != nullptr;
         e = e->NextSiblingElement("object")) {
        number++;
        // A record without a "type" reads as a plain object.
        MDL_Object *object = nullptr;
        switch (MDL_Object::typeFromName(e->Attribute("type"))) {
        case OBJECT_NONE:
            object = new MDL_Object;
            break;
        case OBJECT_LAMP:
            object = new MDL_Lamp;
            break;
        case OBJECT_CAMERA:
            object = new MDL_Camera;
            break;
        case OBJECT_MESH:
            object = new MDL_Mesh;
            break;
        case OBJECT_SOUND:
            object = new MDL_Sound;
            break;
        case OBJECT_BONE:
            object = new MDL_Bone;
            break;
        case OBJECT_ANIMATED_MESH:
            object = new MDL_AnimatedMesh;
            break;
        case OBJECT_COLLISION_VOLUME: {
            const TiXmlElement *shape = e->FirstChildElement("volume_type");
            int code = MDL_CollisionVolume::shapeFromName(shape != nullptr ? shape->GetText() : nullptr);
            if (code == MDL_CollisionVolume::SHAPE_NONE) {
                // An unknown shape ends the objects pass here.
                reportStop(e, number, shape);
                return;
            }
            object = new MDL_CollisionVolume(code);
            break;
        }
        case OBJECT_LOCATOR:
            object = new MDL_Locator;
            break;
        case OBJECT_RIGID_BODY:
        case OBJECT_TEXT:
        case MDL_TYPE_RTF_TEXT:
        case OBJECT_IMAGE:
        case OBJECT_MIKE:
        case OBJECT_POLYLINE:
        default:
            // Kinds a models set does not make: scripts create them.
            break;
        }
        if (object == nullptr)
            continue;
        object->loadFromXML(e); // a kind's reader keeps its defaults for what it cannot read
        m_oObjects.append(object);
        records.append(Record{e, object});
    }
}

void MDL_ModelsSet::reportStop(const TiXmlElement *record, int number, const TiXmlElement *shape) const
{
    int after = 0;
    for (const TiXmlElement *e = record->NextSiblingElement("object"); e != nullptr;
         e = e->NextSiblingElement("object"))
        after++;
    // The record by its name, or by its number when it has none.
    char which[256];
    const char *name = record->Attribute("name");
    if (name != nullptr && name[0] != '\0')
        snprintf(which, sizeof which, "\"%s\"", name);
    else
        snprintf(which, sizeof which, "%d", number);
    char cause[256];
    if (shape == nullptr)
        snprintf(cause, sizeof cause, "no volume_type");
    else
        snprintf(cause, sizeof cause, "unknown volume_type \"%s\"",
                 shape->GetText() != nullptr ? shape->GetText() : "");
    if (after == 0)
        UTIL_warnFrom(m_sName, "object %s: %s; this record is not read", which, cause);
    else
        UTIL_warnFrom(m_sName, "object %s: %s; this record and the %d after it are not read", which, cause, after);
}
