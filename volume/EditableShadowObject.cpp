#include "volume/EditableShadowObject.h"

#include <algorithm>

EditableShadowObject::EditableShadowObject()
{
    history.push_back(nullptr);
}

EditableShadowObject::~EditableShadowObject() = default;

// A copied volume starts a history of its own: the steps describe edits of the
// original's cells, not of the copy.
EditableShadowObject::EditableShadowObject(const EditableShadowObject& other)
    : _hollow(other._hollow)
{
    history.push_back(nullptr);
    std::copy(std::begin(other._edit_box), std::end(other._edit_box), std::begin(_edit_box));
}

EditableShadowObject& EditableShadowObject::operator=(const EditableShadowObject& other)
{
    if (this == &other)
        return *this;
    history.clear();
    history.push_back(nullptr);
    cursor = 0;
    std::copy(std::begin(other._edit_box), std::end(other._edit_box), std::begin(_edit_box));
    _hollow = other._hollow;
    return *this;
}

void EditableShadowObject::takeSnapshot(Snapshot& buffer)
{
    const int n = resolution();
    buffer.assign(std::size_t(n) * n * n, 0);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                buffer[x + std::size_t(n) * y + std::size_t(n) * n * z] = isOccupied({x, y, z}) ? 1 : 0;
}

void EditableShadowObject::recordEdit(const Snapshot& snapshot)
{
    const int n = resolution();
    auto changed = std::make_unique<CellList>();
    if (snapshot.size() == std::size_t(n) * n * n) {
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                for (int z = 0; z < n; ++z)
                    if ((isOccupied({x, y, z}) ? 1 : 0) != snapshot[x + std::size_t(n) * y + std::size_t(n) * n * z])
                        changed->push_back({x, y, z});
    }
    history.resize(cursor + 1);
    if (changed->empty())
        return;
    history.push_back(std::move(changed));
    cursor = static_cast<int>(history.size()) - 1;
}

bool EditableShadowObject::canUndo() const
{
    return history.back() != nullptr && cursor > 0;
}

bool EditableShadowObject::canRedo() const
{
    return history.back() != nullptr && cursor < static_cast<int>(history.size()) - 1;
}

void EditableShadowObject::undo()
{
    if (!canUndo())
        return;
    toggle(*history[cursor]);
    --cursor;
}

void EditableShadowObject::redo()
{
    if (!canRedo())
        return;
    ++cursor;
    toggle(*history[cursor]);
}

void EditableShadowObject::toggle(const CellList& cells)
{
    for (const CellIndex& c : cells)
        setOccupied(c, !isOccupied(c));
}
