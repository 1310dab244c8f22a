#include "app/MeshDisplayLists.h"

#include "gl/GLErrors.h"
#include "mesh/Mesh.h"

#include <climits>

void sendTriangles(const Mesh& mesh, const Material& material, bool pairPerTriangle)
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
            glVertex3d(p.x, p.y, p.z);
        }
        if (pairPerTriangle)
            glEnd();
    }
    if (!pairPerTriangle)
        glEnd();
}

bool MeshDisplayLists::prepare(const Mesh& mesh)
{
    if (source != &mesh)
        release();
    if (base)
        return true;
    if (failed)
        return false;
    source = &mesh;
    failed = true; // until every list is recorded

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
    // less than the mesh: draw triangle by triangle instead.
    if (takeGLErrors()) {
        glDeleteLists(first, n);
        return false;
    }
    base = first;
    count = n;
    failed = false;
    return true;
}

void MeshDisplayLists::release()
{
    if (base)
        glDeleteLists(base, count);
    source = nullptr;
    base = 0;
    count = 0;
    failed = false;
}
