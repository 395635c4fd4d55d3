#pragma once
// One drawable mesh of the scene view, normally the volume's cube mesh. The
// mesh goes into static vertex buffers (positions, normals and the four
// per-vertex cell-data ints) and is drawn through the voxel shader program,
// whose uniforms carry the view's display switches: cell highlighting, z
// slicing, silhouette and background. Meshes without cell data, and contexts
// without buffer objects or shaders, are drawn with the fixed pipeline.
//
// Every GL call happens with the owning view's context current. An object
// prepared while no context exists uploads its buffers on its first draw.

#include "render/GLMatrix.h"

#include <qopengl.h>

#include <QString>

#include <array>
#include <memory>

class QOpenGLFunctions_2_1;
class TriMesh;

class VoxelRenderObject {
public:
    using Matrix = glmatrix::Matrix;

    // Render modes of draw().
    enum RenderMode { Flat = 0, Smooth = 1, WireFrame = 2, WireFrameHidden = 3, Points = 4 };

    VoxelRenderObject();
    ~VoxelRenderObject();
    VoxelRenderObject(const VoxelRenderObject&) = delete;
    VoxelRenderObject& operator=(const VoxelRenderObject&) = delete;

    // Takes ownership of `mesh` and prepares it: normals and bounding box;
    // with `centre`, moved to the origin and scaled by 1 / r, r the distance
    // from its box centre to the box minimum (old centre and 1 / r go to the
    // outputs, which may be null); then the upload. A null mesh leaves the
    // object empty.
    void setData(TriMesh* mesh, bool centre, float centreOut[3], float* scaleOut);
    // The same with a copy of `mesh` written into this object's own mesh,
    // buffers and program (kept: a volume edited again and again reuses them).
    void replaceData(const TriMesh& mesh, bool centre, float centreOut[3], float* scaleOut);
    // Reads a mesh file and prepares it centred. False when it cannot be read.
    bool loadFile(const QString& path);
    void draw(int mode, bool showBox, int sliceMin, int sliceMax, bool sliceInvert, unsigned flags,
              bool whiteBackground, const std::array<int, 3>& dimensions);
    // Deletes the program and builds it again from the shader files.
    void reloadProgram();
    void copyMatrix(const double* from);

    // Replaces the per-vertex cell data with `from`'s and uploads it; false
    // (and nothing changed) when the vertex counts differ.
    bool replaceCellData(const TriMesh& from);
    // Frees every GL name while the context is still current; the mesh stays
    // and is uploaded again on the next draw (used when the context goes away).
    void releaseGL();

    Matrix& modelview() { return *_modelview; }
    const Matrix& modelview() const { return *_modelview; }
    const TriMesh* mesh() const { return _mesh.get(); }
    bool buffersInUse() const { return _buffers_in_use; }
    GLuint program() const { return _program; }
    // True after a program build found a shader file missing (the mesh is
    // then drawn without the voxel shader).
    bool shaderMissing() const { return _shader_missing; }

    // The two shader files, relative to the working directory.
    static const char* const kVertexShaderPath;
    static const char* const kFragmentShaderPath;

private:
    void prepare(bool centre, float centreOut[3], float* scaleOut);
    void upload(QOpenGLFunctions_2_1* gl);
    void buildProgram(QOpenGLFunctions_2_1* gl);
    void drawGrid(QOpenGLFunctions_2_1* gl, const std::array<int, 3>& dimensions) const;
    void drawFlat(QOpenGLFunctions_2_1* gl) const;
    void drawSmooth(QOpenGLFunctions_2_1* gl, int sliceMin, int sliceMax, bool sliceInvert, unsigned flags,
                    bool whiteBackground) const;
    void setUniforms(QOpenGLFunctions_2_1* gl, int sliceMin, int sliceMax, bool sliceInvert, unsigned flags,
                     bool whiteBackground) const;
    void enableArrays(QOpenGLFunctions_2_1* gl, bool withNormals) const;
    void disableArrays(QOpenGLFunctions_2_1* gl) const;
    void drawTriangles(QOpenGLFunctions_2_1* gl) const;

    std::unique_ptr<TriMesh> _mesh;
    std::unique_ptr<Matrix> _modelview;
    GLuint _vertex_buffer = 0;
    GLuint _normal_buffer = 0;
    GLuint _cell_data_buffer = 0;
    bool _buffers_in_use = false;
    GLuint _program = 0;
    bool _upload_pending = false;  // prepared without a context: upload at the next draw
    bool _shader_missing = false;
};
