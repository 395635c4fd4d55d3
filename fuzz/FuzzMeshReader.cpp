// libFuzzer harness: mesh files (OBJ, OFF, PLY, ASC) are untrusted. The
// first byte picks the format; the rest is the file. A mesh that is read
// holds only faces that index its vertices.
#include "surface/TriMesh.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char* const kExtensions[4] = {".obj", ".off", ".ply", ".asc"};
    const std::string path = "/tmp/kalvex-fuzz-mesh-" + std::to_string(getpid()) + kExtensions[data[0] % 4];
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    const std::unique_ptr<TriMesh> mesh(TriMesh::read(path.c_str()));
    std::remove(path.c_str());
    if (!mesh)
        return 0;
    for (const TriMesh::Face& f : mesh->faces)
        for (int k = 0; k < 3; ++k)
            if (f[k] < 0 || f[k] >= static_cast<int>(mesh->vertices.size()))
                __builtin_trap();
    mesh->need_neighbors();
    mesh->need_normals();
    return 0;
}
