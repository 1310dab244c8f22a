#include "mesh/MeshPlacement.h"

#include "mesh/Mesh.h"

Bounds facePositionBounds(const Mesh& mesh)
{
    Bounds box;
    for (const auto& material : mesh.materials) {
        const BlockArray<Corner>& corners = material->corners;
        for (std::size_t i = 0; i < corners.size(); ++i)
            box.add(mesh.positions[static_cast<std::size_t>(corners[i].position)]);
    }
    return box;
}

void placePositions(Mesh& mesh, const Placement& placement)
{
    for (std::size_t i = 0; i < mesh.positions.size(); ++i)
        mesh.positions[i] = placement.apply(mesh.positions[i]);
}
