#include "app/MeshDisplayLists.h"

#include "gl/GLErrors.h"
#include "mesh/Mesh.h"

#include <climits>
#include <cstdint>
#include <new>

namespace {

template <bool kColours>
void sendFaces(const Mesh& mesh, const Material& material, bool pairPerTriangle)
{
    if (!pairPerTriangle)
        glBegin(GL_TRIANGLES);
    for (std::size_t f = 0; f < material.faceCount(); ++f) {
        const Face face = material.face(f);
        if (face.cornerCount != 3)
            continue;
        if (pairPerTriangle)
            glBegin(GL_TRIANGLES);
        for (int j = 0; j < 3; ++j) {
            const Corner& c = face.corner(j);
            const TexCoord& t = mesh.texCoords[static_cast<std::size_t>(c.texCoord)];
            const Vec3& n = mesh.normals[static_cast<std::size_t>(c.normal)];
            const Vec3& p = mesh.positions[static_cast<std::size_t>(c.position)];
            glTexCoord2d(t.u, 1.0 - t.v);
            glNormal3d(n.x, n.y, n.z);
            if (kColours) {
                const VertexColor& k = mesh.colors[static_cast<std::size_t>(c.position)];
                glColor3f(k.r, k.g, k.b);
            }
            glVertex3d(p.x, p.y, p.z);
        }
        if (pairPerTriangle)
            glEnd();
    }
    if (!pairPerTriangle)
        glEnd();
}

} // namespace

void sendTriangles(const Mesh& mesh, const Material& material, bool pairPerTriangle)
{
    if (mesh.colors.empty())
        sendFaces<false>(mesh, material, pairPerTriangle);
    else
        sendFaces<true>(mesh, material, pairPerTriangle);
}

// One corner as glTexCoord2d, glNormal3d and glVertex3d leave it with the
// driver, which keeps floats.
struct BatchVertex {
    GLfloat texCoord[2];
    GLfloat normal[3];
    GLfloat position[3];
};

// Triangles handed over from client arrays: a few calls a batch rather than
// three a corner. A corner that names the same position, texture coordinate
// and normal as one met a little earlier in the batch shares its vertex, so
// the driver lights it once: a small direct-mapped table remembers the
// corners met last; a corner it has forgotten just gets a vertex of its own.
// A corner's colour is its position's, so the colours of a mesh that has them
// go in an array of their own beside the vertices, made for the first such
// mesh: the batches of other meshes carry none.
struct MeshDisplayLists::Batch {
    static constexpr std::size_t kCorners = 3 * 4096; // indices stay 16-bit
    static constexpr std::size_t kSlots = 1u << 12;

    // A corner met in the current batch (stamp), and its vertex.
    struct Slot {
        Corner corner;
        std::uint16_t stamp = 0;
        GLushort vertex = 0;
    };

    BatchVertex vertices[kCorners];
    std::unique_ptr<VertexColor[]> colours; // kCorners, or null
    GLushort indices[kCorners];
    Slot slots[kSlots];
    std::uint16_t stamp = 0;
    GLsizei vertexCount = 0;
    GLsizei indexCount = 0;

    void fill(const Mesh& mesh, const Corner& c, BatchVertex& out) const
    {
        const TexCoord& t = mesh.texCoords[static_cast<std::size_t>(c.texCoord)];
        const Vec3& n = mesh.normals[static_cast<std::size_t>(c.normal)];
        const Vec3& p = mesh.positions[static_cast<std::size_t>(c.position)];
        out = {{static_cast<GLfloat>(t.u), static_cast<GLfloat>(1.0 - t.v)},
               {static_cast<GLfloat>(n.x), static_cast<GLfloat>(n.y), static_cast<GLfloat>(n.z)},
               {static_cast<GLfloat>(p.x), static_cast<GLfloat>(p.y), static_cast<GLfloat>(p.z)}};
    }

    void start()
    {
        vertexCount = indexCount = 0;
        if (++stamp == 0) { // wrapped: no slot may look current
            for (Slot& slot : slots)
                slot.stamp = 0;
            stamp = 1;
        }
    }

    template <bool kColours>
    void add(const Mesh& mesh, const Corner& c)
    {
        const std::uint32_t h = static_cast<std::uint32_t>(c.position) * 73856093u ^
                                static_cast<std::uint32_t>(c.texCoord) * 19349663u ^
                                static_cast<std::uint32_t>(c.normal) * 83492791u;
        Slot& slot = slots[h & (kSlots - 1)];
        if (slot.stamp != stamp || slot.corner.position != c.position || slot.corner.texCoord != c.texCoord ||
            slot.corner.normal != c.normal) {
            slot = {c, stamp, static_cast<GLushort>(vertexCount)};
            if (kColours)
                colours[static_cast<std::size_t>(vertexCount)] = mesh.colors[static_cast<std::size_t>(c.position)];
            fill(mesh, c, vertices[vertexCount++]);
        }
        indices[indexCount++] = slot.vertex;
    }

    void flush()
    {
        if (indexCount)
            glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, indices);
        start();
    }

    template <bool kColours>
    void addFaces(const Mesh& mesh, const Material& material)
    {
        for (std::size_t f = 0; f < material.faceCount(); ++f) {
            const Face face = material.face(f);
            if (face.cornerCount != 3)
                continue;
            for (int j = 0; j < 3; ++j)
                add<kColours>(mesh, face.corner(j));
            if (static_cast<std::size_t>(indexCount) == kCorners)
                flush();
        }
    }

    // Sends the triangles of one material, a batch at a time. A mesh with
    // colours needs the colour array (colours).
    void send(const Mesh& mesh, const Material& material)
    {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        const GLsizei stride = sizeof(BatchVertex);
        glTexCoordPointer(2, GL_FLOAT, stride, vertices[0].texCoord);
        glNormalPointer(GL_FLOAT, stride, vertices[0].normal);
        glVertexPointer(3, GL_FLOAT, stride, vertices[0].position);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        const bool coloured = !mesh.colors.empty();
        if (coloured) {
            glColorPointer(3, GL_FLOAT, sizeof(VertexColor), &colours[0].r);
            glEnableClientState(GL_COLOR_ARRAY);
        }
        start();
        if (coloured)
            addFaces<true>(mesh, material);
        else
            addFaces<false>(mesh, material);
        flush();
        glPopClientAttrib();
    }
};

MeshDisplayLists::MeshDisplayLists() = default;

MeshDisplayLists::~MeshDisplayLists() = default;

MeshDisplayLists::Batch* MeshDisplayLists::batch(bool colours)
{
    if (!batchBuffer)
        batchBuffer.reset(new (std::nothrow) Batch);
    if (!batchBuffer)
        return nullptr;
    if (colours && !batchBuffer->colours) {
        batchBuffer->colours.reset(new (std::nothrow) VertexColor[Batch::kCorners]);
        if (!batchBuffer->colours)
            return nullptr;
    }
    return batchBuffer.get();
}

bool MeshDisplayLists::prepare(const Mesh& mesh)
{
    if (!pending(mesh))
        return base != 0;
    release();
    source = &mesh; // the lists, or the failure to record them

    const std::size_t materials = mesh.materials.size();
    if (materials == 0 || materials > static_cast<std::size_t>(INT_MAX))
        return false;
    // Errors of earlier work must not be taken for a failed recording.
    takeGLErrors();
    const GLsizei n = static_cast<GLsizei>(materials);
    const GLuint first = glGenLists(n);
    if (first == 0)
        return false;
    for (std::size_t i = 0; i < materials; ++i) {
        glNewList(first + static_cast<GLuint>(i), GL_COMPILE);
        sendTriangles(mesh, *mesh.materials[i], false);
        glEndList();
    }
    // A list the driver could not keep whole (out of memory) would draw
    // less than the mesh: go on sending batches instead.
    if (takeGLErrors()) {
        glDeleteLists(first, n);
        return false;
    }
    base = first;
    count = n;
    return true;
}

void MeshDisplayLists::draw(const Mesh& mesh, std::size_t i)
{
    if (source == &mesh && base)
        glCallList(base + static_cast<GLuint>(i));
    else if (Batch* sender = batch(!mesh.colors.empty()))
        sender->send(mesh, *mesh.materials[i]);
    else
        sendTriangles(mesh, *mesh.materials[i], true);
}

void MeshDisplayLists::release()
{
    if (base)
        glDeleteLists(base, count);
    source = nullptr;
    base = 0;
    count = 0;
}
