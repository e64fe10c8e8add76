#pragma once
// The lines of a file read in blocks, for readers of text formats that must
// never hold a whole (possibly huge) file at once.

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <memory>

// The longest line read. A line of a Touchstone file holds at most one point
// (some 4 KB for nine ports in full precision); anything far longer is no
// Touchstone text, and is refused without being held whole.
inline constexpr qint64 MaxLineBytes = qint64(1) << 20;

// The lines of a file, read in blocks so that the whole file is never held
// at once, whatever their ending: line feed, carriage return and line feed,
// or a carriage return alone. A line longer than MaxLineBytes is not held
// either: the source stops at it (overlong()).
class LineSource
{
public:
    // sizeHint: the file's size, so that a small file needs no full block.
    LineSource(QIODevice &device, qint64 sizeHint)
        : m_device(device),
          m_capacity(std::clamp<qint64>(sizeHint + 1, 4096, BlockSize + 1)),
          m_buffer(new char[size_t(m_capacity)])
    {}

    // The next line without its ending; false at the end of the file, on a
    // read error or at an overlong line (failed() and overlong() tell
    // which). The range stays valid until the next call.
    bool next(const char *&begin, const char *&end)
    {
        for (;;) {
            const char *data = m_buffer.get();
            const qint64 lf = find('\n', m_lf);
            const qint64 cr = find('\r', m_cr);
            const qint64 stop = std::min(lf, cr);
            // A carriage return at the end of the block may have its line
            // feed in the next one.
            const bool split = stop == cr && cr + 1 == m_size && !m_atEnd;
            if (stop < m_size && !split) {
                begin = data + m_pos;
                end = data + stop;
                qint64 after = stop + 1;
                if (stop == cr && after < m_size && data[after] == '\n')
                    ++after;
                m_consumed += after - m_pos;
                m_pos = after;
                m_terminated = true;
                ++m_number;
                return true;
            }
            if (m_atEnd) {
                if (m_pos >= m_size)
                    return false;
                begin = data + m_pos;
                end = data + m_size;
                m_consumed += m_size - m_pos;
                m_pos = m_size;
                m_terminated = false;
                ++m_number;
                return true;
            }
            if (m_size - m_pos > MaxLineBytes) {
                m_overlong = true;
                ++m_number;
                return false;
            }
            if (!fill())
                return false;
        }
    }

    // 1-based number of the line last returned (or found overlong).
    qint64 number() const { return m_number; }
    // Whether the line last returned ended with a line break.
    bool terminated() const { return m_terminated; }
    // Bytes of the file returned so far, line endings included.
    qint64 consumed() const { return m_consumed; }
    bool failed() const { return m_failed; }
    bool overlong() const { return m_overlong; }
    // The start of the overlong line, as far as it was read.
    const char *pending() const { return m_buffer.get() + m_pos; }
    const char *pendingEnd() const { return m_buffer.get() + m_size; }

private:
    static constexpr qint64 BlockSize = qint64(1) << 18;
    // The buffer grows from (at most) one block to a line of up to
    // MaxLineBytes and one more block behind it only when a line is that
    // long.
    static constexpr qint64 MaxCapacity = MaxLineBytes + BlockSize + 1;

    // Where a character was last searched for: found at `at`, or not found
    // before `searched`.
    struct Search
    {
        qint64 at = -1;
        qint64 searched = 0;
    };

    // The first c at or after the start of the next line, or m_size; each
    // byte is searched once, however long the lines.
    qint64 find(char c, Search &search)
    {
        if (search.at >= m_pos)
            return search.at;
        const qint64 from = std::max(m_pos, search.searched);
        const char *data = m_buffer.get();
        const void *found = from < m_size ? std::memchr(data + from, c, static_cast<size_t>(m_size - from)) : nullptr;
        if (found) {
            search.at = static_cast<const char *>(found) - data;
            search.searched = search.at + 1;
            return search.at;
        }
        search.at = -1;
        search.searched = m_size;
        return m_size;
    }

    bool fill()
    {
        // The start of the line moves to the front; only a part line is kept.
        if (m_pos > 0) {
            std::memmove(m_buffer.get(), m_buffer.get() + m_pos, static_cast<size_t>(m_size - m_pos));
            m_size -= m_pos;
            for (Search *search : {&m_lf, &m_cr}) {
                search->at = search->at >= m_pos ? search->at - m_pos : -1;
                search->searched = std::max<qint64>(0, search->searched - m_pos);
            }
            m_pos = 0;
        }
        if (m_size == m_capacity) {
            const qint64 capacity = std::min(MaxCapacity, 2 * m_capacity);
            std::unique_ptr<char[]> larger(new char[size_t(capacity)]);
            std::memcpy(larger.get(), m_buffer.get(), size_t(m_size));
            m_buffer = std::move(larger);
            m_capacity = capacity;
        }
        if (m_size == m_capacity) {
            m_overlong = true;
            return false;
        }
        const qint64 got = m_device.read(m_buffer.get() + m_size, std::min(BlockSize, m_capacity - m_size));
        if (got < 0) {
            m_failed = true;
            return false;
        }
        if (got == 0)
            m_atEnd = true;
        m_size += got;
        return true;
    }

    QIODevice &m_device;
    qint64 m_capacity;
    std::unique_ptr<char[]> m_buffer;
    qint64 m_size = 0; // bytes in the buffer
    qint64 m_pos = 0; // start of the next line
    Search m_lf;
    Search m_cr;
    qint64 m_consumed = 0;
    qint64 m_number = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_overlong = false;
    bool m_terminated = true;
};
