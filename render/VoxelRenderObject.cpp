#include "render/VoxelRenderObject.h"

#include "surface/TriMesh.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>

#include <cstddef>

static_assert(sizeof(point) == 3 * sizeof(float), "vertex positions are uploaded as packed floats");
static_assert(sizeof(TriMesh::Face) == 3 * sizeof(int), "faces are drawn as packed index triples");
static_assert(sizeof(TriMesh::CellData) == 4 * sizeof(GLint), "cell data is uploaded as four packed ints");

const char* const VoxelRenderObject::kVertexShaderPath = "Shaders/voxel_rendering.vert";
const char* const VoxelRenderObject::kFragmentShaderPath = "Shaders/voxel_rendering.frag";

Q_LOGGING_CATEGORY(kalvexRender, "kalvex.render", QtInfoMsg)

namespace {

constexpr qint64 kMaxShaderBytes = 65535;
constexpr GLfloat kNeutralGrey[4] = {0.7f, 0.7f, 0.7f, 1.0f};

QOpenGLFunctions_2_1* currentFunctions()
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(context) : nullptr;
}

// Buffer objects and GLSL programs: core from OpenGL 2.0, else the ARB
// extensions that brought them.
bool hasBuffersAndShaders(const QOpenGLContext* context)
{
    if (context->format().version() >= qMakePair(2, 0))
        return true;
    return context->hasExtension("GL_ARB_vertex_buffer_object") && context->hasExtension("GL_ARB_shader_objects")
        && context->hasExtension("GL_ARB_vertex_shader") && context->hasExtension("GL_ARB_fragment_shader");
}

bool carriesCellData(const TriMesh& mesh)
{
    return mesh.has_cell_data && mesh.cell_data.size() == mesh.vertices.size();
}

bool carriesNormals(const TriMesh& mesh)
{
    return !mesh.normals.empty() && mesh.normals.size() == mesh.vertices.size();
}

template <typename T>
void fillArrayBuffer(QOpenGLFunctions_2_1* gl, GLuint buffer, const std::vector<T>& data)
{
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffer);
    gl->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(T)), data.data(),
                     GL_STATIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

// At most kMaxShaderBytes of the file; false when it cannot be read.
bool readShaderSource(const char* path, QByteArray& source)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    source = file.read(kMaxShaderBytes);
    return true;
}

GLuint compileShader(QOpenGLFunctions_2_1* gl, GLenum type, const char* path, const QByteArray& source)
{
    const GLuint shader = gl->glCreateShader(type);
    const char* text = source.constData();
    const GLint length = static_cast<GLint>(source.size());
    gl->glShaderSource(shader, 1, &text, &length);
    gl->glCompileShader(shader);
    GLint compiled = GL_FALSE;
    gl->glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        char log[1024] = {};
        gl->glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        qCDebug(kalvexRender, "%s: %s", path, log);
    }
    return shader;
}

}  // namespace

VoxelRenderObject::VoxelRenderObject() : _modelview(std::make_unique<Matrix>(glmatrix::identity())) {}

VoxelRenderObject::~VoxelRenderObject()
{
    releaseGL();
}

void VoxelRenderObject::releaseGL()
{
    _upload_pending = _mesh != nullptr;
    if (QOpenGLFunctions_2_1* gl = currentFunctions()) {
        if (_buffers_in_use) {
            const GLuint buffers[3] = {_vertex_buffer, _normal_buffer, _cell_data_buffer};
            gl->glDeleteBuffers(3, buffers);
        }
        if (_program != 0)
            gl->glDeleteProgram(_program);
    }
    // Without a current context the names went with the context.
    _vertex_buffer = _normal_buffer = _cell_data_buffer = 0;
    _buffers_in_use = false;
    _program = 0;
}

void VoxelRenderObject::setData(TriMesh* mesh, bool centre, float centreOut[3], float* scaleOut)
{
    releaseGL();
    _mesh.reset(mesh);
    _upload_pending = false;
    if (!mesh)
        qCDebug(kalvexRender, "couldnt read file");
    prepare(centre, centreOut, scaleOut);
}

// The new mesh goes into the arrays, buffers and program of the current one:
// nothing is allocated afresh when it is no larger.
void VoxelRenderObject::replaceData(const TriMesh& mesh, bool centre, float centreOut[3], float* scaleOut)
{
    if (!_mesh) {
        setData(new TriMesh(mesh), centre, centreOut, scaleOut);
        return;
    }
    *_mesh = mesh;
    prepare(centre, centreOut, scaleOut);
}

void VoxelRenderObject::prepare(bool centre, float centreOut[3], float* scaleOut)
{
    TriMesh* mesh = _mesh.get();
    point oldCentre;
    float scale = 1.0f;
    if (mesh) {
        if (mesh->normals.size() != mesh->vertices.size())
            mesh->need_normals();
        mesh->need_bbox();
        if (centre) {
            oldCentre = mesh->move_mesh_to_center();
            // The box minimum now sits at (old minimum - old centre).
            const float r = len(mesh->bbox.min);
            if (r > 0.0f) {
                scale = 1.0f / r;
                mesh->scale_mesh(scale);
            }
        }
    }
    if (centreOut) {
        for (int k = 0; k < 3; ++k)
            centreOut[k] = oldCentre[k];
    }
    if (scaleOut)
        *scaleOut = scale;
    if (!mesh)
        return;
    if (QOpenGLFunctions_2_1* gl = currentFunctions())
        upload(gl);
    else
        _upload_pending = true;
}

bool VoxelRenderObject::loadFile(const QString& path)
{
    TriMesh* mesh = TriMesh::read(path.toLocal8Bit().constData());
    setData(mesh, true, nullptr, nullptr);
    return mesh != nullptr;
}

// Buffers and program are made once; a later mesh refills the same buffers.
void VoxelRenderObject::upload(QOpenGLFunctions_2_1* gl)
{
    _upload_pending = false;
    if (!_buffers_in_use) {
        if (!hasBuffersAndShaders(QOpenGLContext::currentContext())) {
            qCDebug(kalvexRender, "where's glee?");
            return;
        }
        _buffers_in_use = true;
        GLuint buffers[3] = {0, 0, 0};
        gl->glGenBuffers(3, buffers);
        _vertex_buffer = buffers[0];
        _normal_buffer = buffers[1];
        _cell_data_buffer = buffers[2];
        buildProgram(gl);
    }
    fillArrayBuffer(gl, _vertex_buffer, _mesh->vertices);
    fillArrayBuffer(gl, _normal_buffer, _mesh->normals);
    if (carriesCellData(*_mesh))
        fillArrayBuffer(gl, _cell_data_buffer, _mesh->cell_data);
}

// Without both shader files the mesh is drawn by the fixed pipeline and the
// view reports the missing files.
void VoxelRenderObject::buildProgram(QOpenGLFunctions_2_1* gl)
{
    _program = 0;
    QByteArray vertexSource, fragmentSource;
    _shader_missing = !readShaderSource(kVertexShaderPath, vertexSource) ||
                      !readShaderSource(kFragmentShaderPath, fragmentSource);
    if (_shader_missing)
        return;
    const GLuint vertexShader = compileShader(gl, GL_VERTEX_SHADER, kVertexShaderPath, vertexSource);
    const GLuint fragmentShader = compileShader(gl, GL_FRAGMENT_SHADER, kFragmentShaderPath, fragmentSource);
    _program = gl->glCreateProgram();
    gl->glAttachShader(_program, vertexShader);
    gl->glAttachShader(_program, fragmentShader);
    gl->glLinkProgram(_program);
    // The program keeps the attached shaders; they go with it.
    gl->glDeleteShader(vertexShader);
    gl->glDeleteShader(fragmentShader);
}

void VoxelRenderObject::reloadProgram()
{
    QOpenGLFunctions_2_1* gl = currentFunctions();
    if (!gl || !_buffers_in_use)
        return;
    if (_program != 0)
        gl->glDeleteProgram(_program);
    buildProgram(gl);
}

void VoxelRenderObject::copyMatrix(const double* from)
{
    std::copy(from, from + 16, _modelview->begin());
}

bool VoxelRenderObject::replaceCellData(const TriMesh& from)
{
    if (!_mesh || from.vertices.size() != _mesh->vertices.size())
        return false;
    _mesh->cell_data = from.cell_data;
    _mesh->has_cell_data = from.has_cell_data;
    QOpenGLFunctions_2_1* gl = currentFunctions();
    if (gl && _buffers_in_use && carriesCellData(*_mesh))
        fillArrayBuffer(gl, _cell_data_buffer, _mesh->cell_data);
    return true;
}

void VoxelRenderObject::draw(int mode, bool showBox, int sliceMin, int sliceMax, bool sliceInvert, unsigned flags,
                             bool whiteBackground, const std::array<int, 3>& dimensions)
{
    if (!_mesh)
        return;
    QOpenGLFunctions_2_1* gl = currentFunctions();
    if (!gl)
        return;
    if (_upload_pending)
        upload(gl);
    if (showBox)
        drawGrid(gl, dimensions);

    gl->glMatrixMode(GL_MODELVIEW);
    gl->glPushMatrix();
    gl->glLoadIdentity();
    gl->glMultMatrixd(_modelview->data());
    gl->glEnable(_buffers_in_use ? GL_RESCALE_NORMAL : GL_NORMALIZE);

    switch (mode) {
    case WireFrame:
        gl->glDisable(GL_LIGHTING);
        gl->glDisable(GL_CULL_FACE);
        gl->glDisable(GL_DEPTH_TEST);
        gl->glColor3f(1.0f, 1.0f, 1.0f);
        gl->glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        enableArrays(gl, false);
        drawTriangles(gl);
        disableArrays(gl);
        gl->glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        gl->glEnable(GL_LIGHTING);
        gl->glEnable(GL_CULL_FACE);
        gl->glEnable(GL_DEPTH_TEST);
        break;
    case WireFrameHidden: {
        gl->glDisable(GL_LIGHTING);
        gl->glColor3f(1.0f, 1.0f, 1.0f);
        enableArrays(gl, false);
        // Pass 1 fills the depth buffer slightly behind the surface, pass 2
        // draws the edges that are not hidden by it.
        GLint drawBuffer = GL_BACK;
        gl->glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
        gl->glDrawBuffer(GL_NONE);
        gl->glDepthRange(0.01, 1.0);
        drawTriangles(gl);
        gl->glDrawBuffer(static_cast<GLenum>(drawBuffer));
        gl->glDepthRange(0.0, 1.0);
        gl->glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        gl->glDepthFunc(GL_LEQUAL);
        drawTriangles(gl);
        disableArrays(gl);
        gl->glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        gl->glDepthFunc(GL_LESS);
        gl->glEnable(GL_LIGHTING);
        break;
    }
    case Flat:
        drawFlat(gl);
        break;
    case Points:
        gl->glEnable(GL_LIGHTING);
        enableArrays(gl, true);
        gl->glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(_mesh->vertices.size()));
        disableArrays(gl);
        break;
    case Smooth:
        drawSmooth(gl, sliceMin, sliceMax, sliceInvert, flags, whiteBackground);
        break;
    default:
        break;
    }
    gl->glPopMatrix();
}

// The cube mesh has no per-vertex colours, so every face gets the neutral
// grey material with its own face normal.
void VoxelRenderObject::drawFlat(QOpenGLFunctions_2_1* gl) const
{
    gl->glShadeModel(GL_FLAT);
    gl->glEnable(GL_MULTISAMPLE);
    gl->glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kNeutralGrey);
    gl->glBegin(GL_TRIANGLES);
    for (const TriMesh::Face& f : _mesh->faces) {
        const point& p0 = _mesh->vertices[f[0]];
        const point& p1 = _mesh->vertices[f[1]];
        const point& p2 = _mesh->vertices[f[2]];
        point n = cross(p1 - p0, p2 - p0);
        const float l = len(n);
        if (l > 0.0f)
            n *= 1.0f / l;
        gl->glNormal3fv(n.v);
        gl->glVertex3fv(p0.v);
        gl->glVertex3fv(p1.v);
        gl->glVertex3fv(p2.v);
    }
    gl->glEnd();
    gl->glDisable(GL_MULTISAMPLE);
    gl->glShadeModel(GL_SMOOTH);
}

void VoxelRenderObject::drawSmooth(QOpenGLFunctions_2_1* gl, int sliceMin, int sliceMax, bool sliceInvert,
                                   unsigned flags, bool whiteBackground) const
{
    gl->glShadeModel(GL_SMOOTH);
    if (!_buffers_in_use) {
        enableArrays(gl, true);
        drawTriangles(gl);
        disableArrays(gl);
        return;
    }
    // The voxel shader hides fragments by giving them alpha 0.
    gl->glEnable(GL_ALPHA_TEST);
    gl->glAlphaFunc(GL_GREATER, 0.5f);
    enableArrays(gl, true);
    const bool useProgram = carriesCellData(*_mesh) && _program != 0;
    if (useProgram) {
        gl->glBindBuffer(GL_ARRAY_BUFFER, _cell_data_buffer);
        gl->glTexCoordPointer(4, GL_INT, 0, nullptr);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
        gl->glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        gl->glUseProgram(_program);
        setUniforms(gl, sliceMin, sliceMax, sliceInvert, flags, whiteBackground);
    }
    drawTriangles(gl);
    if (useProgram)
        gl->glUseProgram(0);
    disableArrays(gl);
    gl->glDisable(GL_ALPHA_TEST);
}

void VoxelRenderObject::setUniforms(QOpenGLFunctions_2_1* gl, int sliceMin, int sliceMax, bool sliceInvert,
                                    unsigned flags, bool whiteBackground) const
{
    auto location = [&](const char* name) { return gl->glGetUniformLocation(_program, name); };
    gl->glUniform1i(location("render_removable_enabled"), static_cast<GLint>(flags & 1u));
    gl->glUniform1i(location("render_disconnected_enabled"), static_cast<GLint>(flags & 2u));
    gl->glUniform1i(location("render_silhouette_enabled"), static_cast<GLint>(flags & 4u));
    gl->glUniform1f(location("z_slice_min"), static_cast<GLfloat>(sliceMin));
    gl->glUniform1f(location("z_slice_max"), static_cast<GLfloat>(sliceMax));
    gl->glUniform1i(location("z_slice_invert"), sliceInvert ? 1 : 0);
    gl->glUniform1i(location("white_background"), whiteBackground ? 1 : 0);
}

// Positions (and normals) from the buffers when they are in use, else from
// the mesh's own arrays.
void VoxelRenderObject::enableArrays(QOpenGLFunctions_2_1* gl, bool withNormals) const
{
    const bool normals = withNormals && carriesNormals(*_mesh);
    if (_buffers_in_use) {
        gl->glBindBuffer(GL_ARRAY_BUFFER, _vertex_buffer);
        gl->glVertexPointer(3, GL_FLOAT, 0, nullptr);
        if (normals) {
            gl->glBindBuffer(GL_ARRAY_BUFFER, _normal_buffer);
            gl->glNormalPointer(GL_FLOAT, 0, nullptr);
        }
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    } else {
        gl->glVertexPointer(3, GL_FLOAT, 0, _mesh->vertices.data());
        if (normals)
            gl->glNormalPointer(GL_FLOAT, 0, _mesh->normals.data());
    }
    gl->glEnableClientState(GL_VERTEX_ARRAY);
    if (normals)
        gl->glEnableClientState(GL_NORMAL_ARRAY);
}

void VoxelRenderObject::disableArrays(QOpenGLFunctions_2_1* gl) const
{
    gl->glDisableClientState(GL_VERTEX_ARRAY);
    gl->glDisableClientState(GL_NORMAL_ARRAY);
    gl->glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void VoxelRenderObject::drawTriangles(QOpenGLFunctions_2_1* gl) const
{
    gl->glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * _mesh->faces.size()), GL_UNSIGNED_INT,
                       _mesh->faces.data());
}

// Lines of the cell grid on the faces of the mesh's bounding box: for every
// cell boundary plane along each axis, the rectangle where it cuts the box.
void VoxelRenderObject::drawGrid(QOpenGLFunctions_2_1* gl, const std::array<int, 3>& dimensions) const
{
    const TriMesh::BBox& box = _mesh->bbox;
    if (!box.valid)
        return;
    gl->glMatrixMode(GL_MODELVIEW);
    gl->glPushMatrix();
    gl->glLoadMatrixd(_modelview->data());
    gl->glDisable(GL_LIGHTING);
    gl->glColor3f(0.7f, 0.7f, 0.7f);
    gl->glBegin(GL_LINES);
    for (int a = 0; a < 3; ++a) {
        const int n = dimensions[a];
        if (n <= 0)
            continue;  // no cells along this axis: no planes to draw
        const int b = a == 0 ? 1 : 0;
        const int c = a == 2 ? 1 : 2;
        for (int i = 0; i <= n; ++i) {
            point p;
            p[a] = box.min[a] + static_cast<float>(i) * (box.max[a] - box.min[a]) / static_cast<float>(n);
            auto edge = [&](float b0, float c0, float b1, float c1) {
                p[b] = b0;
                p[c] = c0;
                gl->glVertex3fv(p.v);
                p[b] = b1;
                p[c] = c1;
                gl->glVertex3fv(p.v);
            };
            edge(box.min[b], box.min[c], box.max[b], box.min[c]);
            edge(box.min[b], box.max[c], box.max[b], box.max[c]);
            edge(box.min[b], box.min[c], box.min[b], box.max[c]);
            edge(box.max[b], box.min[c], box.max[b], box.max[c]);
        }
    }
    gl->glEnd();
    gl->glEnable(GL_LIGHTING);
    gl->glPopMatrix();
}
