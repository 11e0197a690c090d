#pragma once

#include "foundation/UTIL_XmlValues.h"

#include <cstdint>

#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_ProxyHandle.h"

class MDL_AnimationData;
class MDL_Material;
class MDL_MeshData;
class MDL_Object;
class MDL_Texture;
class MDL_VertexGroup;
class TiXmlDocument;
class TiXmlElement;

// Everything read from one models-set file of a document: textures,
// materials, mesh data, vertex groups, animation data and template objects
// with their parent links. Scripts fetch templates and animation data by name
// and copy templates into scenes; the copies share the set's mesh data,
// materials, textures and vertex groups (the controller lets go of those
// before it destroys a set, CTRL_Generic::removeModelsSet).
//
// The file holds its containers side by side at the top level, without a
// root element around them: "textures", "materials", "meshes",
// "animated_meshes" (vertex groups), "animations" and "objects", each
// optional (the first of each name counts), each holding records of one kind
// ("texture", "material", "mesh", "animated_mesh", "animation", "object").
//
// Every lookup by name, in the file and through the lookups below, compares
// without regard to case and takes the first match in list order; a name that
// matches nothing gives nothing and is not reported.
class MDL_ModelsSet {
public:
    // Elements nested deeper than this refuse the text before it is parsed
    // (models-set files nest four deep), so that the recursive XML parser
    // never runs out of stack on hostile input.
    static constexpr int MAX_NESTING = UTIL_kiMaxXmlNesting;

    // Empty lists, no name.
    MDL_ModelsSet();
    // Deletes everything in the six lists (objects through their virtual
    // destructors), then the name; detaches the script proxy first.
    ~MDL_ModelsSet();
    MDL_ModelsSet(const MDL_ModelsSet &) = delete;
    MDL_ModelsSet &operator=(const MDL_ModelsSet &) = delete;

    const char *getName() const { return m_sName; }
    // Keeps a copy; null clears the name.
    void setName(const char *name);

    // Parses the text (the set's name is the XML document's name) and reads
    // it in eight passes: (1) textures, (2) materials with their texture
    // layers, (3) mesh data, (4) vertex groups, (5) animation data, (6)
    // objects by their "type" attribute, (7) links of each object record to
    // its "parent" (put at the head of the parent's child list, so children
    // list in the reverse of their document order; a link that would make an
    // object its own ancestor is refused), "mesh" and "material", (8) skin
    // binding of animated meshes to vertex groups and bones, worked out with
    // the bones in their rest pose. Object kinds that scripts make (rigid
    // bodies, texts, "RtfText", images, microphones, polylines) and
    // object records without a known kind's data are passed over; a
    // collision volume whose "volume_type" is none of "sphere", "box",
    // "cylinder" ends the objects pass at that record (the links still run;
    // the stop goes to the diagnostic log).
    // Bones of skin bindings are looked up among the set's bones only.
    // The text is parsed byte by byte (names keep the bytes written), after
    // a leading UTF-8 byte-order mark. False only for a null or empty text,
    // one nested deeper than MAX_NESTING, or one that does not parse (then
    // nothing is added, and the cause goes to the diagnostic log). Meant for
    // an empty set; a second load adds to the lists.
    bool load(const char *text);

    // --- lookups (first match in list order, without regard to case; null
    // for none and for a null name; unnamed entries never match) ---
    MDL_Object *getObject(const char *name) const;
    MDL_AnimationData *getAnimationData(const char *name) const;
    MDL_Material *getMaterial(const char *name) const;
    MDL_Texture *getTexture(const char *name) const;
    MDL_MeshData *getMeshData(const char *name) const;
    MDL_VertexGroup *getVertexGroup(const char *name) const;

    // The names of the objects of the given type code that have no parent,
    // in list order: a new array (malloc) of new copies (malloc; null for an
    // unnamed object). count receives their number; with none the result is
    // null. Free it with freeNames.
    char **getNames(int type, int &count) const;
    static void freeNames(char **names, int count);

    // Whether no element of the XML text is nested deeper than limit, as
    // the parser reads it byte by byte (the way load has it parse): markup
    // inside comments, character data, declarations and quoted values does
    // not count, and a text the parser would give up on counts up to where
    // it gives up.
    static bool isNestingWithin(const char *text, int limit);

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    char *m_sName; // the document member read, owned
    UTIL_DynArray<MDL_Object *> m_oObjects;
    UTIL_DynArray<MDL_Material *> m_oMaterials;
    UTIL_DynArray<MDL_Texture *> m_oTextures;
    UTIL_DynArray<MDL_MeshData *> m_oMeshData;
    UTIL_DynArray<MDL_AnimationData *> m_oAnimationData;
    UTIL_DynArray<MDL_VertexGroup *> m_oVertexGroups;

private:
    // An object record and the object made from it, for the link passes.
    struct Record {
        const TiXmlElement *m_poElement;
        MDL_Object *m_poObject;
    };

    void readTextures(const TiXmlDocument &document);
    void readMaterials(const TiXmlDocument &document);
    void readMeshData(const TiXmlDocument &document);
    void readVertexGroups(const TiXmlDocument &document);
    void readAnimationData(const TiXmlDocument &document);
    void createObjects(const TiXmlDocument &document, UTIL_DynArray<Record> &records);
    // Says that the objects pass stops at a collision volume record (its
    // number among the object records counts from 1) whose shape element is
    // missing (null) or names no shape.
    void reportStop(const TiXmlElement *record, int number, const TiXmlElement *shape) const;
    // Passes 7 and 8 (MDL_ModelsSetLinks.cpp).
    void linkObjects(const UTIL_DynArray<Record> &records);
    // Drops (sets to -1) the parent links, given per record as list
    // positions, that would make an object its own ancestor; base is the
    // list position of the first record's object.
    void refuseCycles(UTIL_DynArray<int32_t> &parent, int base);
    void bindSkins(const UTIL_DynArray<Record> &records);
    // Exchanges every bone's local and rest frames.
    void swapBoneFrames();
};
