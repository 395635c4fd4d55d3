#include "surface/ThreeMfWriter.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <zip.h>

#include <charconv>
#include <memory>
#include <string_view>

namespace {

constexpr const char* kModelEntry = "3D/3dmodel.model";

const std::string kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"model\" ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>"
    "</Types>\n";

const std::string kRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>\n";

// Nine significant digits read back to the same float; to_chars ignores the
// locale, so no decimal comma slips in.
void appendNumber(std::string& out, float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9).ptr;
    out.append(text, end);
}

void appendNumber(std::string& out, int value)
{
    char text[16];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string modelXml(const TriMesh& mesh)
{
    std::string model =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<model unit=\"millimeter\" xml:lang=\"en-US\" "
        "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
        " <resources>\n  <object id=\"1\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    model.reserve(model.size() + mesh.vertices.size() * 60 + mesh.faces.size() * 50 + 200);
    // One line per vertex and triangle, not indented: tens of megabytes for
    // a fine volume, every byte of which the compression reads.
    for (const point& p : mesh.vertices) {
        model += "<vertex x=\"";
        appendNumber(model, p[0]);
        model += "\" y=\"";
        appendNumber(model, p[1]);
        model += "\" z=\"";
        appendNumber(model, p[2]);
        model += "\"/>\n";
    }
    model += "    </vertices>\n    <triangles>\n";
    for (const TriMesh::Face& f : mesh.faces) {
        model += "<triangle v1=\"";
        appendNumber(model, f[0]);
        model += "\" v2=\"";
        appendNumber(model, f[1]);
        model += "\" v3=\"";
        appendNumber(model, f[2]);
        model += "\"/>\n";
    }
    model += "    </triangles>\n   </mesh>\n  </object>\n </resources>\n <build>\n  <item objectid=\"1\"/>\n"
             " </build>\n</model>\n";
    return model;
}

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

// The model is deflated at the fastest level: the default (the strongest)
// takes about ten times as long for a file a quarter smaller, seconds for
// the mesh of a fine volume.
constexpr zip_uint32_t kModelCompression = 1;

// Adds an entry whose bytes stay owned by the caller until the archive is
// closed, deflated at `level` (0: libzip's default).
bool addEntry(zip_t* archive, const char* name, const std::string& bytes, zip_uint32_t level = 0)
{
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    return level == 0 || zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, level) == 0;
}

// The whole entry `name`, or false when it is missing or does not inflate to
// the bytes its checksum names.
bool readEntry(zip_t* archive, const char* name, std::string& bytes)
{
    struct FileCloser {
        void operator()(zip_file_t* file) const { zip_fclose(file); }
    };
    const std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen(archive, name, 0));
    if (!file)
        return false;
    bytes.clear();
    char chunk[1 << 16];
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.append(chunk, std::size_t(got));
    }
}

bool readIndex(QXmlStreamReader& xml, const char* name, int& value)
{
    bool ok = false;
    value = xml.attributes().value(QLatin1String(name)).toInt(&ok);
    return ok;
}

bool readCoordinate(QXmlStreamReader& xml, const char* name, float& value)
{
    bool ok = false;
    value = xml.attributes().value(QLatin1String(name)).toFloat(&ok);
    return ok;
}

}  // namespace

bool write3mf(const TriMesh& mesh, const std::string& path)
{
    const std::string model = modelXml(mesh);
    int error = 0;
    zip_t* opened = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!opened)
        return false;
    Archive archive(opened);
    if (!addEntry(opened, "[Content_Types].xml", kContentTypes) || !addEntry(opened, "_rels/.rels", kRelationships) ||
        !addEntry(opened, kModelEntry, model, kModelCompression))
        return false;
    // The package is written here, to a temporary file beside the target that
    // replaces it only when complete; on failure the archive is still open
    // and the closer discards it.
    if (zip_close(opened) != 0)
        return false;
    archive.release();
    return true;
}

TriMesh* read3mf(const std::string& path)
{
    int error = 0;
    const Archive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    std::string model;
    if (!archive || !readEntry(archive.get(), kModelEntry, model))
        return nullptr;

    auto mesh = std::make_unique<TriMesh>();
    QXmlStreamReader xml(QByteArray::fromRawData(model.data(), qsizetype(model.size())));
    bool inMesh = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("mesh"))
            break;  // the first object only
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("mesh")) {
            inMesh = true;
        } else if (inMesh && xml.name() == QLatin1String("vertex")) {
            point p;
            if (!readCoordinate(xml, "x", p[0]) || !readCoordinate(xml, "y", p[1]) || !readCoordinate(xml, "z", p[2]))
                return nullptr;
            mesh->vertices.push_back(p);
        } else if (inMesh && xml.name() == QLatin1String("triangle")) {
            int v[3];
            if (!readIndex(xml, "v1", v[0]) || !readIndex(xml, "v2", v[1]) || !readIndex(xml, "v3", v[2]))
                return nullptr;
            for (int i : v)
                if (i < 0 || i >= int(mesh->vertices.size()))
                    return nullptr;
            mesh->faces.emplace_back(v[0], v[1], v[2]);
        }
    }
    if (xml.hasError() || !inMesh)
        return nullptr;
    return mesh.release();
}
