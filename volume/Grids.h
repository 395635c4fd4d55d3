#pragma once
// Owned storage for the per-object voxel grid and the N x N pixel maps. Both
// are values: copying copies the cells, moving hands them over, so a grid is
// freed exactly once whatever the holder does with it.

#include "volume/Cell.h"
#include "volume/GridAllocator.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// sizeX x sizeY x sizeZ cells, addressed (x, y, z) with z fastest.
class CellGrid {
public:
    CellGrid() = default;
    CellGrid(int sx, int sy, int sz) : _sx(sx), _sy(sy), _sz(sz), _cells(std::size_t(sx) * sy * sz) {}
    CellGrid(const CellGrid&) = default;
    CellGrid& operator=(const CellGrid&) = default;
    CellGrid(CellGrid&& o) noexcept { *this = std::move(o); }
    CellGrid& operator=(CellGrid&& o) noexcept
    {
        _sx = std::exchange(o._sx, 0);
        _sy = std::exchange(o._sy, 0);
        _sz = std::exchange(o._sz, 0);
        _cells = std::exchange(o._cells, {});
        return *this;
    }

    bool empty() const { return _cells.empty(); }
    int sizeX() const { return _sx; }
    int sizeY() const { return _sy; }
    int sizeZ() const { return _sz; }

    Cell& at(int x, int y, int z) { return _cells[index(x, y, z)]; }
    const Cell& at(int x, int y, int z) const { return _cells[index(x, y, z)]; }

    using Storage = std::vector<Cell, GridAllocator<Cell>>;
    Storage& cells() { return _cells; }
    const Storage& cells() const { return _cells; }

    void clear() { *this = CellGrid(); }

private:
    std::size_t index(int x, int y, int z) const { return (std::size_t(x) * _sy + y) * _sz + z; }

    int _sx = 0, _sy = 0, _sz = 0;
    Storage _cells;
};

// Pixel map of `first` x `second` bytes (0 or 1), indexed [column][row].
class ByteMap {
public:
    ByteMap() = default;
    ByteMap(int first, int second, std::uint8_t fill)
        : _first(first), _second(second), _bytes(std::size_t(first) * second, fill) {}
    ByteMap(const ByteMap&) = default;
    ByteMap& operator=(const ByteMap&) = default;
    ByteMap(ByteMap&& o) noexcept { *this = std::move(o); }
    ByteMap& operator=(ByteMap&& o) noexcept
    {
        _first = std::exchange(o._first, 0);
        _second = std::exchange(o._second, 0);
        _bytes = std::exchange(o._bytes, {});
        return *this;
    }

    bool empty() const { return _bytes.empty(); }
    int first() const { return _first; }
    int second() const { return _second; }

    std::uint8_t& at(int a, int b) { return _bytes[std::size_t(a) * _second + b]; }
    std::uint8_t at(int a, int b) const { return _bytes[std::size_t(a) * _second + b]; }
    // The `second` bytes of column a, contiguous.
    const std::uint8_t* column(int a) const { return _bytes.data() + std::size_t(a) * _second; }
    std::uint8_t* column(int a) { return _bytes.data() + std::size_t(a) * _second; }
    // Out-of-map pixels read as 0.
    std::uint8_t get(int a, int b) const
    {
        return (a >= 0 && a < _first && b >= 0 && b < _second) ? at(a, b) : 0;
    }

    void fill(std::uint8_t v) { std::fill(_bytes.begin(), _bytes.end(), v); }
    bool operator==(const ByteMap& o) const
    {
        return _first == o._first && _second == o._second && _bytes == o._bytes;
    }
    void clear() { *this = ByteMap(); }
    std::size_t count() const;

private:
    int _first = 0, _second = 0;
    std::vector<std::uint8_t> _bytes;
};

inline std::size_t ByteMap::count() const
{
    std::size_t n = 0;
    for (std::uint8_t b : _bytes)
        n += b != 0;
    return n;
}
