#pragma once
// The volume interface shared by the parallel-light volume (ShadowObject) and
// the point-light volume: occupancy access, the cube mesh, the shadow-keeping
// cell tests, and the edit history, edit box and hollow switch every volume
// carries.

#include "volume/Cell.h"

#include <cstdint>
#include <memory>
#include <vector>

class TriMesh;

class EditableShadowObject {
public:
    EditableShadowObject();
    virtual ~EditableShadowObject();

    EditableShadowObject(const EditableShadowObject& other);
    EditableShadowObject& operator=(const EditableShadowObject& other);
    EditableShadowObject(EditableShadowObject&&) noexcept = default;
    EditableShadowObject& operator=(EditableShadowObject&&) noexcept = default;

    // ---- the volume slots ---------------------------------------------------
    virtual bool isOccupied(const CellIndex& c) const = 0;
    virtual int resolution() const = 0;
    virtual TriMesh* buildShadowMesh() = 0;
    virtual bool isInGrid(const CellIndex& c) const = 0;
    virtual void setOccupied(const CellIndex& c, bool occupied) = 0;
    // Occupancy changes go through setOccupied, which keeps what the volume
    // derives from it; a cell's flags may be written directly.
    virtual const Cell& cellAt(int x, int y, int z) const = 0;
    virtual std::uint8_t& cellFlags(int x, int y, int z) = 0;
    virtual bool isCellAddable(int x, int y, int z) = 0;
    virtual bool isCellRemovable(const CellIndex& c) = 0;
    virtual bool areShadowsStillValid(bool checkCovered, bool checkUncovered) = 0;
    virtual void boundingBox(float min[3], float max[3]) const = 0;
    virtual int sizeX() const = 0;
    virtual int sizeY() const = 0;
    virtual int sizeZ() const = 0;

    // ---- edit history -----------------------------------------------------
    // A snapshot holds the occupancy of cell (x, y, z) at x + N*y + N*N*z.
    using Snapshot = std::vector<unsigned char>;
    using CellList = std::vector<CellIndex>;

    void takeSnapshot(Snapshot& buffer);
    // Records the cells that differ from the snapshot as one step; discards the
    // redo steps even when nothing changed.
    void recordEdit(const Snapshot& snapshot);
    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();

    // Entry 0 is the null sentinel; `cursor` indexes the last applied step.
    std::vector<std::unique_ptr<CellList>> history;
    int cursor = 0;

    // Edit box in grid units: minimum x, y, z, then maximum x, y, z.
    float _edit_box[6] = {0, 0, 0, 0, 0, 0};
    // When set, the cube mesh leaves out cells hidden on all six sides.
    bool hollow() const { return _hollow; }
    void setHollow(bool hollow) { _hollow = hollow; }

private:
    void toggle(const CellList& cells);

    bool _hollow = false;
};
