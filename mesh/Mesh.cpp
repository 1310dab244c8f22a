#include "mesh/Mesh.h"

#include <algorithm>
#include <functional>
#include <new>
#include <utility>

Material::Material(std::string name) : name(std::move(name))
{
}

Material::~Material() = default;

std::size_t Material::memoryBytes() const
{
    return sizeof(*this) + name.capacity() + textureName.capacity() + corners.memoryBytes() + faceEnds.memoryBytes();
}

Mesh::~Mesh() = default;

std::size_t Mesh::slotOf(const std::string& name) const
{
    const std::size_t mask = index.size() - 1;
    std::size_t slot = std::hash<std::string>()(name) & mask;
    while (index[slot] && index[slot]->name != name)
        slot = (slot + 1) & mask;
    return slot;
}

void Mesh::rebuildIndex(std::size_t slots)
{
    std::vector<Material*> rebuilt(slots, nullptr);
    index.swap(rebuilt);
    fillIndex();
}

void Mesh::fillIndex()
{
    std::fill(index.begin(), index.end(), nullptr);
    for (const auto& material : materials)
        index[slotOf(material->name)] = material.get();
}

Material* Mesh::findOrAddMaterial(const std::string& name)
{
    if (Material* found = findMaterial(name))
        return found;
    if ((materials.size() + 1) * 4 > index.size() * 3)
        rebuildIndex(index.empty() ? 16 : index.size() * 2);
    materials.push_back(std::make_unique<Material>(name));
    Material* material = materials.back().get();
    index[slotOf(name)] = material;
    return material;
}

Material* Mesh::findMaterial(const std::string& name) const
{
    return index.empty() ? nullptr : index[slotOf(name)];
}

void Mesh::removeEmptyMaterials()
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        if (materials[i]->faceCount() == 0)
            materials[i].reset();
        else
            materials[kept++] = std::move(materials[i]);
    }
    materials.resize(kept);
    std::size_t slots = 16;
    while (kept * 4 > slots * 3)
        slots *= 2;
    try {
        rebuildIndex(slots);
    } catch (const std::bad_alloc&) {
        // No memory for a smaller index: fill this one again.
        fillIndex();
    }
}

std::size_t Mesh::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + positions.memoryBytes() + texCoords.memoryBytes() + normals.memoryBytes() +
                        colors.memoryBytes() + materials.capacity() * sizeof(materials[0]) +
                        index.capacity() * sizeof(index[0]) + filePath.capacity() + directory.capacity();
    for (const auto& material : materials)
        bytes += material->memoryBytes();
    return bytes;
}
