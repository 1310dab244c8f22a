#include "mesh/Mesh.h"

#include <utility>

Material::Material(std::string name)
    : name(std::move(name))
{
}

Material::~Material() = default;

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

Material* Mesh::findMaterial(const std::string& name) const
{
    auto found = materialsByName.find(name);
    return found != materialsByName.end() ? found->second : nullptr;
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
