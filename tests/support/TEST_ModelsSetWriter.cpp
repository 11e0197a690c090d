#include "tests/support/TEST_ModelsSetWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <zlib.h>

#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_MeshData.h"

namespace {

const char DIGITS[] = "0123456789abcdef";

void putHexByte(std::string &out, unsigned char b)
{
    out += DIGITS[b >> 4];
    out += DIGITS[b & 15];
}

std::string number(double v)
{
    char buffer[40];
    snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

std::string element(const std::string &name, const std::string &text)
{
    return "<" + name + ">" + text + "</" + name + ">";
}

std::string arrayElement(const std::string &name, size_t count, int size, const std::string &hex)
{
    std::string out = "<" + name + " count=\"" + std::to_string(count) + "\"";
    if (size > 0)
        out += " size=\"" + std::to_string(size) + "\"";
    return out + ">" + hex + "</" + name + ">";
}

void put32(std::vector<unsigned char> &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void pngChunk(std::vector<unsigned char> &out, const char *type, const std::vector<unsigned char> &data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    put32(out, static_cast<uint32_t>(crc));
}

} // namespace

std::string TEST_hexDoubles(const double *values, size_t count, int size)
{
    std::string out;
    out.reserve(count * static_cast<size_t>(size) * 2);
    for (size_t i = 0; i < count; i++) {
        unsigned char b[8];
        if (size == 4) {
            float f = static_cast<float>(values[i]);
            memcpy(b, &f, 4);
        } else {
            memcpy(b, &values[i], 8);
        }
        for (int k = 0; k < size; k++)
            putHexByte(out, b[k]);
    }
    return out;
}

std::string TEST_hexInts(const int64_t *values, size_t count, int size)
{
    std::string out;
    out.reserve(count * static_cast<size_t>(size) * 2);
    for (size_t i = 0; i < count; i++) {
        uint64_t v = static_cast<uint64_t>(values[i]);
        for (int k = 0; k < size; k++)
            putHexByte(out, static_cast<unsigned char>(v >> (8 * k)));
    }
    return out;
}

std::string TEST_hexBytes(const unsigned char *bytes, size_t count)
{
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; i++)
        putHexByte(out, bytes[i]);
    return out;
}

std::string TEST_xmlEscape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// --- meshes ---

std::string TEST_MeshShape::xml() const
{
    std::string out = "<mesh name=\"" + TEST_xmlEscape(m_sName) + "\">";
    if (m_bWriteBox && !m_aoPositions.empty()) {
        MTH_Vector3D lo = m_aoPositions[0], hi = m_aoPositions[0];
        for (const MTH_Vector3D &p : m_aoPositions) {
            lo = MTH_Vector3D(std::fmin(lo.m_fX, p.m_fX), std::fmin(lo.m_fY, p.m_fY), std::fmin(lo.m_fZ, p.m_fZ));
            hi = MTH_Vector3D(std::fmax(hi.m_fX, p.m_fX), std::fmax(hi.m_fY, p.m_fY), std::fmax(hi.m_fZ, p.m_fZ));
        }
        // The box as the positions are stored (floats are rounded).
        if (m_iValueSize == 4) {
            lo = MTH_Vector3D(static_cast<float>(lo.m_fX), static_cast<float>(lo.m_fY), static_cast<float>(lo.m_fZ));
            hi = MTH_Vector3D(static_cast<float>(hi.m_fX), static_cast<float>(hi.m_fY), static_cast<float>(hi.m_fZ));
        }
        out += element("min", number(lo.m_fX) + " " + number(lo.m_fY) + " " + number(lo.m_fZ));
        out += element("max", number(hi.m_fX) + " " + number(hi.m_fY) + " " + number(hi.m_fZ));
    }
    if (m_bDoubleSided)
        out += element("double_sided", "1");
    if (!m_aoPositions.empty())
        out += arrayElement("vertices", m_aoPositions.size(), m_iValueSize,
                            TEST_hexDoubles(&m_aoPositions[0].m_fX, m_aoPositions.size() * 3, m_iValueSize));
    if (!m_aoNormals.empty())
        out += arrayElement("normals", m_aoNormals.size(), m_iValueSize,
                            TEST_hexDoubles(&m_aoNormals[0].m_fX, m_aoNormals.size() * 3, m_iValueSize));
    if (!m_aoUVs.empty())
        out += arrayElement("uvs", m_aoUVs.size(), m_iValueSize,
                            TEST_hexDoubles(&m_aoUVs[0].m_fX, m_aoUVs.size() * 2, m_iValueSize));
    if (!m_aaColors.empty())
        out += arrayElement("colors", m_aaColors.size(), 0, TEST_hexBytes(m_aaColors[0].data(), m_aaColors.size() * 4));
    if (!m_aiTriangles.empty())
        out += arrayElement("triangles", m_aiTriangles.size() / 3, m_iIndexSize,
                            TEST_hexInts(m_aiTriangles.data(), m_aiTriangles.size(), m_iIndexSize));
    if (!m_aiNeighbours.empty())
        out += "<neighbours size=\"" + std::to_string(m_iIndexSize) + "\">" +
               TEST_hexInts(m_aiNeighbours.data(), m_aiNeighbours.size(), m_iIndexSize) + "</neighbours>";
    return out + "</mesh>";
}

TEST_MeshShape TEST_cubeShape(const std::string &name, double h)
{
    // Corner c has x from bit 0, y from bit 1, z from bit 2; each face lists
    // its corners counter-clockwise seen from outside.
    static const int FACES[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    static const double NORMALS[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    static const double UVS[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    TEST_MeshShape s;
    s.m_sName = name;
    for (int f = 0; f < 6; f++) {
        int base = static_cast<int>(s.m_aoPositions.size());
        for (int k = 0; k < 4; k++) {
            int c = FACES[f][k];
            s.m_aoPositions.emplace_back((c & 1) ? h : -h, (c & 2) ? h : -h, (c & 4) ? h : -h);
            s.m_aoNormals.emplace_back(NORMALS[f][0], NORMALS[f][1], NORMALS[f][2]);
            s.m_aoUVs.emplace_back(UVS[k][0], UVS[k][1]);
        }
        const int tri[6] = {0, 1, 2, 0, 2, 3};
        for (int k : tri)
            s.m_aiTriangles.push_back(base + k);
    }
    return s;
}

TEST_MeshShape TEST_sphereShape(const std::string &name, double r, int slices, int stacks)
{
    TEST_MeshShape s;
    s.m_sName = name;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i <= stacks; i++) {
        double theta = pi * i / stacks;
        for (int j = 0; j <= slices; j++) {
            // The seam repeats slice 0 and the poles are exact, so repeated
            // vertices have equal positions.
            double phi = 2.0 * pi * (j % slices) / slices;
            MTH_Vector3D n;
            if (i == 0)
                n = MTH_Vector3D(0, 0, 1);
            else if (i == stacks)
                n = MTH_Vector3D(0, 0, -1);
            else
                n = MTH_Vector3D(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
            s.m_aoPositions.push_back(n * r);
            s.m_aoNormals.push_back(n);
            s.m_aoUVs.emplace_back(static_cast<double>(j) / slices, 1.0 - static_cast<double>(i) / stacks);
        }
    }
    auto v = [slices](int i, int j) { return static_cast<int64_t>(i * (slices + 1) + j); };
    for (int i = 0; i < stacks; i++) {
        for (int j = 0; j < slices; j++) {
            int64_t a = v(i, j), b = v(i + 1, j), c = v(i + 1, j + 1), d = v(i, j + 1);
            if (i != stacks - 1)
                s.m_aiTriangles.insert(s.m_aiTriangles.end(), {a, b, c});
            if (i != 0)
                s.m_aiTriangles.insert(s.m_aiTriangles.end(), {a, c, d});
        }
    }
    return s;
}

TEST_MeshShape TEST_planeShape(const std::string &name, double h, int n)
{
    TEST_MeshShape s;
    s.m_sName = name;
    for (int j = 0; j <= n; j++)
        for (int i = 0; i <= n; i++) {
            s.m_aoPositions.emplace_back(-h + 2.0 * h * i / n, -h + 2.0 * h * j / n, 0.0);
            s.m_aoNormals.emplace_back(0.0, 0.0, 1.0);
            s.m_aoUVs.emplace_back(static_cast<double>(i) / n, static_cast<double>(j) / n);
        }
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++) {
            int64_t a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
            s.m_aiTriangles.insert(s.m_aiTriangles.end(), {a, b, c, a, c, d});
        }
    return s;
}

TEST_MeshShape TEST_gridShape(const std::string &name, int nx, int ny)
{
    TEST_MeshShape s;
    s.m_sName = name;
    s.m_aoPositions.reserve(static_cast<size_t>(nx) * ny);
    for (int j = 0; j < ny; j++)
        for (int i = 0; i < nx; i++)
            s.m_aoPositions.emplace_back(i, j, 0.0);
    s.m_aiTriangles.reserve(static_cast<size_t>(nx - 1) * (ny - 1) * 6);
    for (int j = 0; j + 1 < ny; j++)
        for (int i = 0; i + 1 < nx; i++) {
            int64_t a = static_cast<int64_t>(j) * nx + i, b = a + 1, c = a + nx + 1, d = a + nx;
            s.m_aiTriangles.insert(s.m_aiTriangles.end(), {a, b, c, a, c, d});
        }
    return s;
}

// --- materials and objects ---

TEST_MaterialRecord &TEST_MaterialRecord::child(const std::string &element, const std::string &text)
{
    m_aChildren.emplace_back(element, text);
    return *this;
}

TEST_MaterialRecord &TEST_MaterialRecord::diffuse(double r, double g, double b)
{
    return child("diffuse", number(r) + " " + number(g) + " " + number(b));
}

TEST_MaterialRecord &TEST_MaterialRecord::alpha(double a)
{
    return child("alpha", number(a));
}

TEST_MaterialRecord &TEST_MaterialRecord::texture(const std::string &textureName)
{
    return child("texture", textureName);
}

TEST_MaterialRecord &TEST_MaterialRecord::color(double r, double g, double b, double a)
{
    return child("color", number(r) + " " + number(g) + " " + number(b) + " " + number(a));
}

std::string TEST_MaterialRecord::xml() const
{
    std::string out = "<material name=\"" + TEST_xmlEscape(m_sName) + "\">";
    for (const auto &c : m_aChildren)
        out += element(c.first, TEST_xmlEscape(c.second));
    return out + "</material>";
}

TEST_ObjectRecord TEST_placedObject(const std::string &type, const std::string &name, const MTH_Vector3D &position)
{
    TEST_ObjectRecord object;
    object.m_sType = type;
    object.m_sName = name;
    object.m_afMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, position.m_fX, position.m_fY, position.m_fZ, 1};
    return object;
}

std::string TEST_ObjectRecord::xml() const
{
    std::string out = "<object type=\"" + TEST_xmlEscape(m_sType) + "\" name=\"" + TEST_xmlEscape(m_sName) + "\">";
    if (!m_afMatrix.empty()) {
        std::string numbers;
        for (size_t i = 0; i < m_afMatrix.size(); i++)
            numbers += (i > 0 ? " " : "") + number(m_afMatrix[i]);
        out += element("matrix", numbers);
    }
    if (!m_sParent.empty())
        out += element("parent", TEST_xmlEscape(m_sParent));
    if (!m_sMesh.empty())
        out += element("mesh", TEST_xmlEscape(m_sMesh));
    if (!m_sMaterial.empty())
        out += element("material", TEST_xmlEscape(m_sMaterial));
    if (!m_aBindings.empty()) {
        std::string groups, bones;
        for (const auto &b : m_aBindings) {
            groups += element("animated_mesh", TEST_xmlEscape(b.first));
            bones += element("bone", TEST_xmlEscape(b.second));
        }
        out += element("animated_meshes", groups + bones);
    }
    return out + m_sExtra + "</object>";
}

std::vector<unsigned char> TEST_pngImage(int width, int height, bool alpha, const unsigned char rgba[4])
{
    const int components = alpha ? 4 : 3;
    std::vector<unsigned char> pixels;
    for (int i = 0; i < width * height; i++)
        pixels.insert(pixels.end(), rgba, rgba + components);
    return TEST_pngPixels(width, height, components, pixels);
}

std::vector<unsigned char> TEST_pngPixels(int width, int height, int components,
                                          const std::vector<unsigned char> &pixels)
{
    const bool alpha = components == 4;
    const size_t rowBytes = static_cast<size_t>(width) * components;
    std::vector<unsigned char> raw;
    for (int y = 0; y < height; y++) {
        raw.push_back(0); // filter type none
        raw.insert(raw.end(), pixels.begin() + y * rowBytes, pixels.begin() + (y + 1) * rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> ihdr;
    put32(ihdr, static_cast<uint32_t>(width));
    put32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, static_cast<unsigned char>(alpha ? 6 : 2), 0, 0, 0});
    pngChunk(png, "IHDR", ihdr);
    pngChunk(png, "IDAT", packed);
    pngChunk(png, "IEND", {});
    return png;
}

// --- the writer ---

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addTexture(const std::string &name, const std::vector<unsigned char> &bytes,
                                                       const std::string &filter)
{
    std::string out = "<texture name=\"" + TEST_xmlEscape(name) + "\" size=\"" + std::to_string(bytes.size()) + "\"";
    if (!filter.empty())
        out += " filter=\"" + TEST_xmlEscape(filter) + "\"";
    out += ">" + TEST_hexBytes(bytes.data(), bytes.size()) + "</texture>";
    return addRecord("textures", out);
}

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addMaterial(const TEST_MaterialRecord &material)
{
    return addRecord("materials", material.xml());
}

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addMesh(const TEST_MeshShape &mesh)
{
    return addRecord("meshes", mesh.xml());
}

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addObject(const TEST_ObjectRecord &object)
{
    return addRecord("objects", object.xml());
}

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addVertexGroup(const std::string &name, const std::vector<int64_t> &indices,
                                                           const std::vector<double> &weights, int indexSize,
                                                           int weightSize)
{
    std::string out = "<animated_mesh name=\"" + TEST_xmlEscape(name) + "\">";
    out += arrayElement("vertices", indices.size(), indexSize, TEST_hexInts(indices.data(), indices.size(), indexSize));
    out += arrayElement("weights", weights.size(), weightSize,
                        TEST_hexDoubles(weights.data(), weights.size(), weightSize));
    return addRecord("animated_meshes", out + "</animated_mesh>");
}

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addAnimation(const std::string &name,
                                                         const std::vector<TEST_AnimationKey> &keys)
{
    auto triple = [](const MTH_Vector3D &v) { return number(v.m_fX) + " " + number(v.m_fY) + " " + number(v.m_fZ); };
    std::string out =
        "<animation name=\"" + TEST_xmlEscape(name) + "\"><keys count=\"" + std::to_string(keys.size()) + "\">";
    for (const TEST_AnimationKey &k : keys)
        out += "<key time=\"" + number(k.m_fTime) + "\">" + element("location", triple(k.m_oLocation)) +
               element("rotation", triple(k.m_oRotation)) + element("scale", triple(k.m_oScale)) + "</key>";
    return addRecord("animations", out + "</keys></animation>");
}

TEST_ModelsSetWriter &TEST_ModelsSetWriter::addRecord(const std::string &container, const std::string &xml)
{
    m_aRecords.emplace_back(container, xml);
    return *this;
}

std::string TEST_ModelsSetWriter::text() const
{
    std::vector<std::string> order = {"textures", "materials", "meshes", "animated_meshes", "animations", "objects"};
    for (const auto &r : m_aRecords) {
        bool known = false;
        for (const std::string &c : order)
            known = known || c == r.first;
        if (!known)
            order.push_back(r.first);
    }
    std::string out;
    for (const std::string &c : order) {
        std::string body;
        bool any = false;
        for (const auto &r : m_aRecords)
            if (r.first == c) {
                body += r.second + "\n";
                any = true;
            }
        if (any)
            out += "<" + c + ">\n" + body + "</" + c + ">\n";
    }
    return out;
}

TEST_ModelsSetWriter TEST_ModelsSetWriter::sample()
{
    const unsigned char pixel[4] = {255, 255, 255, 128};
    TEST_ModelsSetWriter w;
    w.addTexture("checker", TEST_pngImage(2, 2, true, pixel), "linear");
    w.addMaterial(TEST_MaterialRecord("red").diffuse(1, 0, 0).texture("checker"));
    w.addMaterial(TEST_MaterialRecord("glass").alpha(0.5));
    const TEST_MeshShape shapes[3] = {TEST_cubeShape("cube"), TEST_sphereShape("sphere", 1.0, 16, 8),
                                      TEST_planeShape("plane", 1.0, 2)};
    for (const TEST_MeshShape &s : shapes) {
        w.addMesh(s);
        TEST_ObjectRecord o;
        o.m_sType = "Mesh";
        o.m_sName = s.m_sName;
        o.m_sMesh = s.m_sName;
        o.m_sMaterial = "red";
        w.addObject(o);
    }
    return w;
}

TEST_ParsedXml::TEST_ParsedXml(const std::string &text) : m_bOk(LoadBuffer(m_oDocument, text.c_str(), 0)) {}

const TiXmlElement *TEST_ParsedXml::top(const char *name) const
{
    return m_oDocument.FirstChildElement(name);
}

const TiXmlElement *TEST_ParsedXml::record(const char *container, const char *name, int index) const
{
    const TiXmlElement *c = top(container);
    if (c == nullptr)
        return nullptr;
    const TiXmlElement *e = c->FirstChildElement(name);
    for (int i = 0; i < index && e != nullptr; i++)
        e = e->NextSiblingElement(name);
    return e;
}

bool TEST_readMeshData(const TEST_MeshShape &shape, MDL_MeshData &data)
{
    TEST_ParsedXml xml(TEST_ModelsSetWriter().addMesh(shape).text());
    return xml.ok() && data.loadFromXML(xml.record("meshes", "mesh"));
}
