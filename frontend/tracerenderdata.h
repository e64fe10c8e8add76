#pragma once
// What the render node reads from a trace during the scene-graph sync: the
// resampled points, which of them still have to reach the GPU, and the
// projection onto the plot.

#include <QColor>
#include <QMatrix4x4>

#include <vector>

namespace Korvel {
namespace Frontend {

// A window of `count` elements from `start` in a ring of `capacity`
// elements, wrapping at the end of the ring.
struct DirtyRange
{
    int capacity = 0;
    int count = 0;
    int start = 0;

    struct Piece
    {
        int offset = 0;
        int count = 0;
    };

    void init(int newCapacity);
    bool isEmpty() const { return count == 0; }
    bool isFull() const { return capacity > 0 && count == capacity; }
    // Marks n elements from offset as part of the window. A range that
    // continues the window or overlaps its end extends it; any other
    // placement widens the window to cover it, so no element is lost.
    void add(int offset, int n);
    // Removes and returns the next contiguous piece of the window. With
    // wholeIfFull a full window comes back as the whole ring from 0.
    Piece take(bool wholeIfFull);
};

// One interleaved (x, y) point as uploaded to the vertex buffer.
struct TracePoint
{
    float x = 0.0f;
    float y = 0.0f;
};

struct TraceRenderData
{
    QColor color;
    float lineWidth = 1.5f;
    bool visibleSnapshot = true;
    std::vector<TracePoint> points;
    DirtyRange uploadRange;
    DirtyRange dataRange;
    bool matricesChanged = true;
    std::vector<QMatrix4x4> matrices;
    float minY = 0.0f;
    float maxY = 0.0f;
};

} // namespace Frontend
} // namespace Korvel
