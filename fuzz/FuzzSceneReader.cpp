// libFuzzer harness: scene files are untrusted. Any bytes must either be
// refused with one line or give a volume, never a crash.
#include "volume/ShadowObject.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    buffer.open(QIODevice::ReadOnly);
    ShadowObject volume;
    const QString error = volume.readScene(buffer);
    if (error.isEmpty()) {
        // A volume that was read is whole: its shadows and counts work.
        volume.areShadowsStillValid(true, true);
        countOccupiedCells(volume);
    } else if (error.contains(QLatin1Char('\n'))) {
        __builtin_trap();  // one line only
    }
    return 0;
}
