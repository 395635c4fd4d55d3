#include "volume/VolumeContouring.h"

#include "volume/EditableShadowObject.h"

#include <cstdint>
#include <vector>

bool contourVolume(const EditableShadowObject& volume, float iso, int mode, TriMesh& target, int factor)
{
    const int n = volume.resolution();
    if (n < 1)
        return false;
    std::vector<std::uint8_t> occupied(std::size_t(n) * n * n);
    std::size_t at = 0;
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                occupied[at++] = volume.isOccupied({x, y, z}) ? 1 : 0;
    return contourOccupancy(n, occupied, iso, mode, target, factor);
}
