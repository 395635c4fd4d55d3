// libFuzzer harness: pictures are untrusted. Any PNG (or other bytes) turns
// into a picture mesh, or into nothing, without a crash; pictures larger than
// the program ever meshes are left out to keep runs fast.
#include "deform/DeformationModel.h"
#include "deform/PictureMesher.h"

#include <QBuffer>
#include <QImageReader>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize dimensions = reader.size();
    if (!dimensions.isValid() || dimensions.width() > 256 || dimensions.height() > 256)
        return 0;
    const QImage picture = reader.read();
    if (picture.isNull())
        return 0;
    const TriMesh mesh = PictureMesher(picture, 3.0f).mesh();
    for (const TriMesh::Face& f : mesh.faces)
        for (int k = 0; k < 3; ++k)
            if (f[k] < 0 || f[k] >= static_cast<int>(mesh.vertices.size()))
                __builtin_trap();
    DeformationModel model;
    model.set_image_mesh(mesh, mesh.vertices, {});
    model.preserve_shape();
    return 0;
}
