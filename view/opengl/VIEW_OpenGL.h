#pragma once

#include <cstdint>

#include "foundation/MTH_Matrix4x4.h"
#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_HashMap.h"
#include "model/MDL_MeshData.h"
#include "view/VIEW_Generic.h"
#include "view/opengl/VIEW_TransparencyBSP.h"

class MDL_Camera;
class MDL_Font;
class MDL_Image;
class MDL_Lamp;
class MDL_Material;
class MDL_Mesh;
class MDL_Object;
class MDL_Polyline;
class MDL_Scene;
class MDL_Text;
class MDL_Texture;
class MTH_Frame;
class MTH_Matrix3x3;
struct FT_Bitmap_;
struct VIEW_MeshArrays;

// Render modes: how meshes reach OpenGL.
enum {
    VIEW_RENDER_MODE_NONE = 0,   // client-side vertex arrays
    VIEW_RENDER_MODE_VBO = 1,    // vertex buffer objects per mesh data
    VIEW_RENDER_MODE_SHADER = 2, // a name only: draws as mode 0
};

// The vertex and element buffers of one mesh data, with the counts they
// were filled from (the layout of the vertex buffer: positions, normals,
// colours, texture coordinates, each array behind the previous one).
struct VIEW_MeshBuffers {
    uint32_t m_uiVertexBuffer;
    uint32_t m_uiElementBuffer;
    int32_t m_iNumVertices;
    int32_t m_iNumNormals;
    int32_t m_iNumColors;
    int32_t m_iNumUVs;
    int32_t m_iNumTriangles;
};

// An image or movie frame uploaded as a texture: its name, the rectangle of
// texture coordinates the picture occupies and the bytes the upload took.
struct VIEW_ImageTexture {
    uint32_t m_uiTexture;
    double m_fUMin, m_fVMin, m_fUMax, m_fVMax;
    int m_iByteSize;
};

// One rendered glyph: its texture (0 for a glyph without pixels, such as a
// space), the part of the texture the glyph covers, its bitmap's size and
// offsets from the pen (left, and top above the baseline) in pixels, its
// advance in pixels and its glyph index.
struct VIEW_GlyphTexture {
    uint32_t m_uiTexture;
    double m_fUScale, m_fVScale;
    int m_iWidth, m_iRows;
    int m_iLeft, m_iTop;
    double m_fAdvance;
    int m_iGlyphIndex;
    int m_iByteSize;
};

// The OpenGL version as major x 10 + minor from a GL_VERSION string
// ("2.1 Mesa" gives 21); 0 for null or a string that does not start with
// digits, a point and a digit.
int VIEW_parseGLVersion(const char *version);

// The power-of-two size of a texture side: the smallest power of two not
// below side, limited to limit; 1 when that is 0 or less.
int VIEW_powerOfTwo(int side, int limit);

// The coverage of a glyph rendered by FreeType as one byte per pixel, top
// row first, whatever the rasteriser's row order (the sign of the pitch),
// row padding and pixel format (grey, one bit per pixel, or the alpha of
// colour glyphs). False, out emptied, for another format or a pitch too
// short for the width.
bool VIEW_glyphCoverage(const FT_Bitmap_ &glyph, UTIL_Bitmap &out);

// The renderer that draws the controller's frames with OpenGL's
// fixed-function pipeline (compatibility profile). It caches what it
// uploads: image and movie-frame textures by texture identifier, glyph
// textures by font, character and size, and in render mode 1 the vertex
// buffers of each mesh data. Every operation expects the drawing host's
// context to be current; makeCurrent, releaseCurrent and flush are hooks
// that succeed without doing anything, the host owning the context.
//
// The host flushes both texture caches (with its context current) before
// deleting the renderer; the destructor deletes the vertex buffers, and so
// also wants the context current.
class VIEW_OpenGL : public VIEW_Generic, public MDL_MeshDataObserver {
public:
    VIEW_OpenGL();
    ~VIEW_OpenGL() override;

    // --- the renderer interface ---
    void setTextureFilter(int filter) override;
    void invalidateImageTextures() override;
    void invalidateGlyphTextures() override;
    void start() override;
    void releaseBuffers() override;
    void beginFrame(void *context, bool wireframe) override;
    void releaseTexture(MDL_Texture *texture) override;
    void present(void *context) override;
    bool readStencil(void *context, int x, int y, int width, int height, UTIL_Bitmap *out) override;
    bool readColor(void *context, int x, int y, int width, int height, UTIL_Bitmap *out) override;
    bool readDepth(void *context, int x, int y, int width, int height, UTIL_Bitmap *out) override;
    void clear(const MTH_Vector4D &color) override;
    void renderViewport(MDL_Viewport *viewport, const MTH_Vector2D &position, const MTH_Vector2D &size) override;
    void drawShadowedText(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text, MDL_Font *font,
                          double textSize, double alpha) override;
    void drawSplash(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *caption, MDL_Font *font,
                    MDL_Image *logo) override;
    void drawMessage(const MTH_Vector2D &position, const MTH_Vector2D &size, const char *text, MDL_Font *font) override;
    const char *getVersion() override;
    const char *getRenderer() override;
    const char *getVendor() override;
    const char *getRenderModeName() override;

    virtual bool makeCurrent(void *context);
    virtual bool releaseCurrent(void *context);
    virtual bool flush(void *context);

    // The next pending OpenGL error, as glGetError gives it: first one that
    // the renderer read (and so cleared) while checking its own uploads.
    unsigned int takeError();

    // --- caches ---
    // Binds the texture's OpenGL texture, uploading it first when it is not
    // cached (a movie frame is refreshed when it changed); null when the
    // image cannot be decoded or the frame has no pixels.
    VIEW_ImageTexture *getImageTexture(MDL_Texture *texture);
    // Binds the glyph's texture (name 0 for a glyph without pixels),
    // rendering it first at the font's current size when it is not cached.
    VIEW_GlyphTexture *getGlyphTexture(MDL_Font *font, int code);
    // Sets the filters of the bound texture: 1 nearest, 2 linear, 3
    // trilinear with mipmaps; 0 (and any value that is none of these) means
    // the default filter. Returns the filter used.
    int applyTextureFilter(int filter);
    // Delete every cached texture with the context current.
    void flushImageTextures(void *context);
    void flushGlyphTextures(void *context);

    // --- drawing ---
    // Draws a mesh with its material, layer by layer.
    void drawMesh(MDL_Mesh *mesh);
    // The opaque surfaces of a scene, then the depth of its fully
    // transparent ones.
    void drawOpaque(MDL_Scene *scene);
    // Sets up layer i of a material (null: the default surface); returns
    // whether texturing is on.
    bool setupMaterial(MDL_Material *material, int layer, bool overlay, bool forceBlend);
    // Loads the object's modelview: its global frame, then the view.
    void loadModelview(MDL_Object *object);
    // The object's modelview (a sprite keeps its own basis relative to the
    // eye).
    void getModelview(MDL_Object *object, MTH_Matrix4x4 &out);
    // Sets the OpenGL viewport and scissor box to the rectangle (pixels,
    // origin at the lower left) and loads a camera's projection, or the 2D
    // projection (pixels from the upper left corner, y downwards) for a
    // null camera. The view is taken from eye when given (the mirrored
    // camera of a mirror), else from the camera's global frame. False,
    // nothing set, for a rectangle that rounds to no pixels, a camera whose
    // clip distances are equal, or a size that is not a finite number.
    bool setProjection(MDL_Camera *camera, const MTH_Vector2D &position, const MTH_Vector2D &size,
                       const MTH_Frame *eye = nullptr);
    // Lights a scene's lamps, in list order, as OpenGL's lights 0 to 7 (a
    // lamp that is off takes no light); positions and directions go through
    // the view loaded by the last projection. Returns the first lamp lit
    // with shadows (null for none) and its light index (-1 for none).
    MDL_Lamp *setupLights(MDL_Scene *scene, int &lightIndex);
    // The mirror of a scene: the last visible mesh in its list with a
    // mirror material and geometry to reflect in (a first vertex, and a
    // normal there or a first face with an area); null for none. The
    // mirror's plane (a point and a unit normal, scene coordinates) goes to
    // point and normal.
    MDL_Mesh *findMirror(MDL_Scene *scene, MTH_Vector3D &point, MTH_Vector3D &normal);
    // The transparent surfaces of a scene sorted back to front and drawn
    // through the current projection. Faces turned away from the eye are
    // left out of meshes that are not double-sided; in a mirrored view
    // (mirrored true) front faces wind the other way round on the screen.
    void drawTransparent(MDL_Scene *scene, bool mirrored);
    // The output arrays of a sorting tree drawn as they are, in runs of one
    // material, through the current projection: view-space triangles,
    // blended over what is there without writing depth.
    void drawSortedTriangles(const VIEW_TransparencyBSP &sorted);
    // Transforms triangle t of a mesh into view space by the modelview and
    // the normal matrix and inserts it into the sorting tree, unless it lies
    // wholly behind the eye or, for a single-sided mesh, faces away from it.
    void appendTransparentTriangle(const VIEW_MeshArrays &arrays, int t, const MTH_Matrix4x4 &modelview,
                                   const MTH_Matrix3x3 &normalMatrix, MDL_Material *material, bool doubleSided,
                                   bool mirrored);
    // The state of 2D drawing over a rectangle: the 2D projection, no depth,
    // culling, stencil or lighting, texturing and blending on. False for a
    // rectangle without pixels.
    bool beginOverlay(const MTH_Vector2D &position, const MTH_Vector2D &size);
    // An overlay image of the current 2D projection.
    void drawImage(MDL_Image *image);
    // An overlay text of the current 2D projection: its background box, then
    // its glyphs where its layout places them, rendered from its font at its
    // size times the viewport's width times the length of its X axis.
    void drawText(MDL_Text *text);
    // A text of the current 2D projection at (x, y) in units of the
    // viewport's width: a new text there, with the identity basis, the font,
    // text, colour and size given and no background.
    void drawTextAt(const MTH_Vector2D &position, MDL_Font *font, const char *text, const MTH_Vector4D &color,
                    double size);
    // A rectangle of one colour, blended by its alpha, in the current 2D
    // projection: its corner and size in pixels, y downwards.
    void fillRectangle(const MTH_Vector2D &corner, const MTH_Vector2D &size, const MTH_Vector4D &color);
    // An overlay polyline of the current 2D projection: its fill, then its
    // line with each layer of its material.
    void drawPolyline(MDL_Polyline *polyline);

    // A mesh data is going away: its buffers are deleted at the next frame.
    void meshDataDestroyed(MDL_MeshData *data) override;

    // --- fields ---
    UTIL_HashMap<8, VIEW_MeshBuffers> m_oMeshBuffers;
    double m_fViewportWidth;
    double m_fViewportHeight;
    MTH_Matrix4x4 m_oViewMatrix;
    MTH_Matrix4x4 m_oProjectionMatrix;
    MTH_Matrix4x4 m_oViewProjectionMatrix;
    UTIL_HashMap<16, VIEW_GlyphTexture> m_oGlyphTextures;
    UTIL_HashMap<4, VIEW_ImageTexture> m_oImageTextures;
    const char *m_sVersion;
    const char *m_sVendor;
    const char *m_sRenderer;
    int m_iVersion;
    int m_iMaxTextureSize;
    int m_iTextureFilter;
    int m_iRenderMode;
    bool m_bGlyphTexturesStale;
    bool m_bImageTexturesStale;
    // An error other than running out of memory that a vertex-buffer upload
    // read while it looked for its own, held for takeError.
    unsigned int m_uiHeldError;
    // Buffer names of destroyed mesh data, deleted at the next beginFrame
    // (when the context is current).
    UTIL_DynArray<uint32_t> m_oOrphanBuffers;
    // The transparent triangles of the current pass, sorted back to front.
    VIEW_TransparencyBSP m_oTransparency;

protected:
    // The vertex buffers of a mesh made or dropped as its data changed
    // (render mode 1, plain meshes only).
    void refreshBuffers(MDL_Mesh *mesh);
    // The scene reflected in the mirror's plane, then the mirror's surface
    // over it, then the opaque pass.
    void drawMirror(MDL_Viewport *viewport, MDL_Mesh *mirror, const MTH_Vector3D &point, const MTH_Vector3D &normal,
                    const MTH_Vector2D &position, const MTH_Vector2D &size);
    // The stencil shadows of a lamp (lit as light lightIndex) over what the
    // opaque pass drew; the mirror (may be null) is drawn again over the
    // shadowed pixels.
    void drawShadows(MDL_Viewport *viewport, MDL_Lamp *lamp, int lightIndex, MDL_Mesh *mirror);
    // The shadow volumes' stencil counts, by the lamp's shadow type.
    void countShadowVolumes(MDL_Scene *scene, MDL_Lamp *lamp);
    // The overlays of a scene in depth order.
    void drawOverlays(MDL_Scene *scene);
    // Delete every texture of a cache and empty it (the buckets stay).
    void clearImageTextures();
    void clearGlyphTextures();
    void deleteBuffers(VIEW_MeshBuffers &buffers);
    void deleteOrphanBuffers();
};
