#pragma once

#include "camera/Vec3.h"
#include "mesh/BlockArray.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

struct TexCoord {
    double u = 0.0;
    double v = 0.0;
};

// A vertex colour, each channel 0 to 1, as a file that writes `v x y z r g b`
// gives it.
struct VertexColor {
    float r = 1.0f;
    float g = 1.0f;
    float b = 1.0f;
};

// One corner of a face: indices into the mesh's three pools. Positions count
// from 0; texture coordinates and normals count from 1, entry 0 of those
// pools being the reserved (0, 0) and (0, 0, 0).
struct Corner {
    std::int32_t position = 0;
    std::int32_t texCoord = 0;
    std::int32_t normal = 0;
};

class Material;

// A face as its material stores it: cornerCount corners, in written order.
class Face {
public:
    Face(const Material& material, std::uint32_t first, int cornerCount)
            : material(&material), first(first), cornerCount(cornerCount)
    {
    }

    const Corner& corner(int j) const;
    int positionIndex(int j) const { return corner(j).position; }
    int texCoordIndex(int j) const { return corner(j).texCoord; }
    int normalIndex(int j) const { return corner(j).normal; }

    const Material* material;
    std::uint32_t first; // index of the first corner in the material's corners
    int cornerCount;
};

// Surface colours, shininess, diffuse texture, and the faces drawn with them.
// The faces' corners are stored one after another; faceEnds[i] is one past
// the last corner of face i.
class Material {
public:
    explicit Material(std::string name);
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;
    virtual ~Material();

    std::size_t faceCount() const { return faceEnds.size(); }
    Face face(std::size_t i) const
    {
        const std::uint32_t first = i ? faceEnds[i - 1] : 0;
        return Face(*this, first, static_cast<int>(faceEnds[i] - first));
    }

    // Appends a face of count corners. Throws std::bad_alloc when memory runs out.
    void addFace(const Corner* cornerList, int count)
    {
        const std::size_t end = corners.size() + static_cast<std::size_t>(count);
        if (end > std::numeric_limits<std::uint32_t>::max())
            throwOutOfMemory();
        corners.append(cornerList, static_cast<std::size_t>(count));
        faceEnds.push_back(static_cast<std::uint32_t>(end));
    }

    std::size_t memoryBytes() const;

    std::string name;
    float ambient[3] = {0.1f, 0.1f, 0.1f};
    float diffuse[3] = {0.78f, 0.78f, 0.78f};
    float specular[3] = {0.0f, 0.0f, 0.0f};
    float shininess = 1.0f;
    std::string textureName;

    BlockArray<Corner> corners;
    BlockArray<std::uint32_t> faceEnds;
};

inline const Corner& Face::corner(int j) const
{
    return material->corners[first + static_cast<std::uint32_t>(j)];
}

// One loaded polygon model: three vertex pools and the materials, each with
// its faces. Built by the OBJ reader, read-only once handed over.
class Mesh {
public:
    Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    virtual ~Mesh();

    // The first material named exactly name (case counts), or a new one with
    // default values appended at the end. Throws std::bad_alloc.
    Material* findOrAddMaterial(const std::string& name);

    // The first material named exactly name, or null.
    Material* findMaterial(const std::string& name) const;

    // Destroys every material without faces; the others keep their order.
    void removeEmptyMaterials();

    // Bytes held by the pools, the materials and their faces.
    std::size_t memoryBytes() const;

    BlockArray<Vec3> positions;
    BlockArray<TexCoord> texCoords;
    BlockArray<Vec3> normals;
    // Empty for a mesh without vertex colours; otherwise one per position
    // (white for a position the file gave none). They then stand in for the
    // materials' ambient and diffuse colours.
    BlockArray<VertexColor> colors;
    std::vector<std::unique_ptr<Material>> materials;
    std::string filePath;
    std::string directory;

private:
    // Where name's material is in index, or the free slot where it would go.
    std::size_t slotOf(const std::string& name) const;
    // Makes index slots entries long (a power of two) and puts every
    // material in it. Throws std::bad_alloc; index is unchanged then.
    void rebuildIndex(std::size_t slots);
    // Empties index and puts every material in it.
    void fillIndex();

    // The materials by name, for findOrAddMaterial: open addressing over the
    // materials' own names (a file may give every face its own material, so
    // an entry is one pointer). At most three quarters full, or empty.
    std::vector<Material*> index;
};
