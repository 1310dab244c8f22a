#include "mesh/Mesh.h"

#include <limits>
#include <utility>

Material::Material(std::string name)
    : name(std::move(name))
{
}

Material::~Material() = default;

void Material::addFace(const Corner* cornerList, int count)
{
    const std::size_t end = corners.size() + static_cast<std::size_t>(count);
    if (end > std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
    for (int j = 0; j < count; ++j)
        corners.push_back(cornerList[j]);
    faceEnds.push_back(static_cast<std::uint32_t>(end));
}

std::size_t Material::memoryBytes() const
{
    return sizeof(*this) + name.capacity() + textureName.capacity() + corners.memoryBytes() + faceEnds.memoryBytes();
}

Mesh::~Mesh() = default;

Material* Mesh::findOrAddMaterial(const std::string& name)
{
    auto found = materialsByName.find(name);
    if (found != materialsByName.end())
        return found->second;
    materials.push_back(std::make_unique<Material>(name));
    Material* material = materials.back().get();
    try {
        materialsByName.emplace(name, material);
    } catch (...) {
        materials.pop_back();
        throw;
    }
    return material;
}

void Mesh::removeEmptyMaterials()
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        if (materials[i]->faceCount() == 0) {
            materialsByName.erase(materials[i]->name);
            materials[i].reset();
        } else {
            materials[kept++] = std::move(materials[i]);
        }
    }
    materials.resize(kept);
}

std::size_t Mesh::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + positions.memoryBytes() + texCoords.memoryBytes() + normals.memoryBytes() +
                        materials.capacity() * sizeof(materials[0]) + filePath.capacity() + directory.capacity();
    for (const auto& material : materials)
        bytes += material->memoryBytes();
    return bytes;
}
