#include "surface/ThreeMfWriter.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
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

constexpr std::string_view kModelHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<model unit=\"millimeter\" xml:lang=\"en-US\" "
    "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
    " <resources>\n  <object id=\"1\" type=\"model\">\n   <mesh>\n    <vertices>\n";
constexpr std::string_view kModelMiddle = "    </vertices>\n    <triangles>\n";
constexpr std::string_view kModelTail =
    "    </triangles>\n   </mesh>\n  </object>\n </resources>\n <build>\n  <item objectid=\"1\"/>\n"
    " </build>\n</model>\n";

// Room for the longest line: a float takes at most 15 characters
// ("-1.17549435e-38"), an int 11.
constexpr std::size_t kLongestLine = 128;

char* put(char* at, std::string_view text)
{
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}
// The shortest text that reads back as the same float; to_chars ignores the
// locale, so no decimal comma slips in.
char* put(char* at, float value) { return std::to_chars(at, at + 16, value).ptr; }
char* put(char* at, int value) { return std::to_chars(at, at + 12, value).ptr; }

// One line per vertex and triangle, not indented: every byte is deflated.
std::size_t vertexLine(const point& p, char* out)
{
    char* at = put(out, "<vertex x=\"");
    at = put(put(at, p[0]), "\" y=\"");
    at = put(put(at, p[1]), "\" z=\"");
    at = put(put(at, p[2]), "\"/>\n");
    return std::size_t(at - out);
}
std::size_t triangleLine(const TriMesh::Face& f, char* out)
{
    char* at = put(out, "<triangle v1=\"");
    at = put(put(at, f[0]), "\" v2=\"");
    at = put(put(at, f[1]), "\" v3=\"");
    at = put(put(at, f[2]), "\"/>\n");
    return std::size_t(at - out);
}

// The model text as libzip reads it, made a piece at a time while it is
// deflated: the text of a fine volume's mesh takes tens of megabytes, and
// fresh memory that large is slow to touch. Its length, which the entry's
// header holds, is counted first by making every line once.
class ModelSource {
public:
    explicit ModelSource(const TriMesh& mesh) : _mesh(mesh)
    {
        zip_error_init(&_error);
        char line[kLongestLine];
        _size = kModelHead.size() + kModelMiddle.size() + kModelTail.size();
        for (const point& p : mesh.vertices)
            _size += vertexLine(p, line);
        for (const TriMesh::Face& f : mesh.faces)
            _size += triangleLine(f, line);
    }
    ~ModelSource() { zip_error_fini(&_error); }

    static zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto* source = static_cast<ModelSource*>(state);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            source->_part = 0;
            source->_next = 0;
            source->_piece.clear();
            source->_read = 0;
            return 0;
        case ZIP_SOURCE_READ:
            return source->read(static_cast<char*>(data), length);
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            if (length < sizeof(zip_stat_t)) {
                zip_error_set(&source->_error, ZIP_ER_INVAL, 0);
                return -1;
            }
            auto* stat = static_cast<zip_stat_t*>(data);
            zip_stat_init(stat);
            stat->size = source->_size;
            stat->mtime = std::time(nullptr);
            stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&source->_error, data, length);
        case ZIP_SOURCE_FREE:
            delete source;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        default:
            zip_error_set(&source->_error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

private:
    static constexpr std::size_t kPiece = std::size_t(1) << 20;

    zip_int64_t read(char* out, zip_uint64_t length)
    {
        zip_uint64_t given = 0;
        while (given < length) {
            if (_read == _piece.size() && !fill())
                break;
            const std::size_t n = std::min<std::size_t>(_piece.size() - _read, std::size_t(length - given));
            std::memcpy(out + given, _piece.data() + _read, n);
            _read += n;
            given += n;
        }
        return zip_int64_t(given);
    }

    // The next piece of whole lines; false at the end of the text.
    bool fill()
    {
        _piece.clear();
        _read = 0;
        char line[kLongestLine];
        while (_piece.size() < kPiece && _part < 5) {
            switch (_part) {
            case 0: _piece += kModelHead; ++_part; break;
            case 1:
                if (_next < _mesh.vertices.size())
                    _piece.append(line, vertexLine(_mesh.vertices[_next++], line));
                else
                    _part = 2, _next = 0;
                break;
            case 2: _piece += kModelMiddle; ++_part; break;
            case 3:
                if (_next < _mesh.faces.size())
                    _piece.append(line, triangleLine(_mesh.faces[_next++], line));
                else
                    _part = 4;
                break;
            default: _piece += kModelTail; ++_part;
            }
        }
        return !_piece.empty();
    }

    const TriMesh& _mesh;
    std::size_t _size = 0;
    zip_error_t _error;
    int _part = 0;           // head, vertices, middle, triangles, tail, done
    std::size_t _next = 0;   // the next vertex or triangle
    std::string _piece;      // made, not yet read
    std::size_t _read = 0;
};

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

// The model is deflated at the fastest level: the default (the strongest)
// takes about ten times as long for a file a quarter smaller, seconds for
// the mesh of a fine volume.
constexpr zip_uint32_t kModelCompression = 1;

// Adds an entry read from `source` (freed here when it cannot be added),
// deflated at `level` (0: libzip's default).
bool addEntry(zip_t* archive, const char* name, zip_source_t* source, zip_uint32_t level = 0)
{
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    return level == 0 || zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, level) == 0;
}

// An entry whose bytes stay owned by the caller until the archive is closed.
bool addEntry(zip_t* archive, const char* name, const std::string& bytes)
{
    return addEntry(archive, name, zip_source_buffer(archive, bytes.data(), bytes.size(), 0));
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
    int error = 0;
    zip_t* opened = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!opened)
        return false;
    Archive archive(opened);
    if (!addEntry(opened, "[Content_Types].xml", kContentTypes) || !addEntry(opened, "_rels/.rels", kRelationships))
        return false;
    // The source owns its state from here: libzip frees both.
    auto* model = new ModelSource(mesh);
    zip_source_t* modelSource = zip_source_function(opened, &ModelSource::callback, model);
    if (!modelSource)
        delete model;
    if (!addEntry(opened, kModelEntry, modelSource, kModelCompression))
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
