// bench-compare-assimp FILE: the minimal Assimp loader, ReadFile without post-processing (flags 0),
// as a general-purpose host would start. Prints the meshes' face and vertex counts.
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <cstdint>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: bench-compare-assimp FILE\n";
        return 2;
    }
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(argv[1], 0);
    if (!scene) {
        std::cerr << "bench-compare-assimp: " << importer.GetErrorString() << '\n';
        return 1;
    }
    std::uint64_t faces = 0, vertices = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        faces += scene->mMeshes[i]->mNumFaces;
        vertices += scene->mMeshes[i]->mNumVertices;
    }
    std::cout << faces << " faces, " << vertices << " vertices in " << scene->mNumMeshes << " meshes\n";
    return 0;
}
