#pragma once

#include <windows.h>

#include <GL/gl.h>

#include <cstddef>

class Material;
class Mesh;

// Sends the triangles of one material (faces of other corner counts are
// skipped), each corner as texture coordinate (u, 1 - v), normal and
// position. pairPerTriangle: every triangle in its own glBegin/glEnd pair;
// otherwise all of them in one pair.
void sendTriangles(const Mesh& mesh, const Material& material, bool pairPerTriangle);

// The triangles of every material of one mesh, recorded once into display
// lists of the rendering context, so that a frame sends one call per
// material instead of ten per triangle. The lists hold exactly what
// sendTriangles sends, so they draw the same pixels. Only geometry is
// recorded: material colours and textures stay with the caller.
//
// The lists belong to the context that was current when they were recorded;
// every operation needs that context current. release must be called before
// the context is destroyed and whenever the mesh is replaced.
class MeshDisplayLists {
public:
    MeshDisplayLists() = default;
    MeshDisplayLists(const MeshDisplayLists&) = delete;
    MeshDisplayLists& operator=(const MeshDisplayLists&) = delete;

    // Records the lists of mesh unless they are there already. False when
    // they cannot be had (the driver ran out of memory, or refused the
    // names); that is not tried again for this mesh until release, and the
    // caller sends the triangles itself.
    bool prepare(const Mesh& mesh);

    // Draws the triangles of material index i of the prepared mesh.
    void call(std::size_t i) const { glCallList(base + static_cast<GLuint>(i)); }

    // Deletes the lists.
    void release();

    bool ready() const { return base != 0; }

private:
    const Mesh* source = nullptr; // the mesh the lists or the failure belong to
    GLuint base = 0;              // list of material 0; 0 when there are none
    GLsizei count = 0;
    bool failed = false;
};
