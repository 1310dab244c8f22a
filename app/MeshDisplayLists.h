#pragma once

#include <windows.h>

#include <GL/gl.h>

#include <cstddef>
#include <memory>

class Material;
class Mesh;

// Sends the triangles of one material (faces of other corner counts are
// skipped), each corner as texture coordinate (u, 1 - v), normal, the colour
// of its position when the mesh has colours, and position. pairPerTriangle: every triangle in its own glBegin/glEnd
// pair; otherwise all of them in one pair.
void sendTriangles(const Mesh& mesh, const Material& material, bool pairPerTriangle);

// The triangles of every material of one mesh in display lists of the
// rendering context, so that a frame sends one call per material instead of
// ten per triangle. Recording them costs about as much as a frame, so it is
// not done inside a frame: until prepare has run, draw sends the triangles
// from client arrays a batch at a time. The lists are recorded with
// sendTriangles, all of a material in one glBegin/glEnd pair; the batches
// hold the very values it sends, so all of them draw the same pixels. Only
// the corners are sent (with the vertex colours of a mesh that has them):
// material colours, colour material and textures stay with the caller.
//
// The lists belong to the context that was current when they were recorded;
// every operation needs that context current. release must be called before
// the context is destroyed and whenever the mesh is replaced.
class MeshDisplayLists {
public:
    MeshDisplayLists();
    ~MeshDisplayLists();
    MeshDisplayLists(const MeshDisplayLists&) = delete;
    MeshDisplayLists& operator=(const MeshDisplayLists&) = delete;

    // Records the lists of mesh unless they are there already. False when
    // they cannot be had (the driver ran out of memory, or refused the
    // names); that is not tried again for this mesh until release, and draw
    // goes on sending batches.
    bool prepare(const Mesh& mesh);

    // True while prepare has yet to run for mesh.
    bool pending(const Mesh& mesh) const { return source != &mesh; }

    // Draws the triangles of material index i of mesh: its list once mesh is
    // prepared, batches until then.
    void draw(const Mesh& mesh, std::size_t i);

    // Deletes the lists.
    void release();

    bool ready() const { return base != 0; }

private:
    struct Batch;
    // The batch buffer, made on first use, with room for colours when asked;
    // null when there is no memory for it, and then triangles go one
    // glBegin/glEnd pair each.
    Batch* batch(bool colours);

    std::unique_ptr<Batch> batchBuffer;
    const Mesh* source = nullptr; // the mesh the lists or the failure belong to
    GLuint base = 0;              // list of material 0; 0 when there are none
    GLsizei count = 0;
};
