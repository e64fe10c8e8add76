#include "frontend/tracerenderdata.h"

#include <algorithm>

namespace Korvel {
namespace Frontend {

void DirtyRange::init(int newCapacity)
{
    capacity = std::max(0, newCapacity);
    count = 0;
    start = 0;
}

void DirtyRange::add(int offset, int n)
{
    if (n <= 0 || capacity <= 0)
        return;
    offset %= capacity;
    if (offset < 0)
        offset += capacity;
    if (count == 0) {
        start = offset;
        count = std::min(n, capacity);
        return;
    }
    // Position of the new range relative to the window start, in ring order.
    const long long rel = (static_cast<long long>(offset) - start + capacity) % capacity;
    long long grown;
    if (rel <= count)
        // Continues the window or begins inside it.
        grown = std::max<long long>(count, rel + n);
    else
        // After a gap: cover the gap too rather than drop anything.
        grown = rel + n;
    if (grown > capacity) {
        start = static_cast<int>((start + grown) % capacity);
        count = capacity;
    } else {
        count = static_cast<int>(grown);
    }
}

DirtyRange::Piece DirtyRange::take(bool wholeIfFull)
{
    if (count == 0)
        return {start, 0};
    if (wholeIfFull && count == capacity) {
        count = 0;
        start = 0;
        return {0, capacity};
    }
    if (start + count <= capacity) {
        const Piece piece{start, count};
        start = (start + count) % capacity;
        count = 0;
        return piece;
    }
    const Piece piece{start, capacity - start};
    count -= piece.count;
    start = 0;
    return piece;
}

} // namespace Frontend
} // namespace Korvel
