#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

// Bytes in one block of the C library's heap that grows and shrinks in place where it can
// (realloc): a large block is mapped apart and changes size without being copied, so that
// fitting a million links' text to its size never holds it twice.
class TextArena
{
public:
    TextArena() = default;
    ~TextArena() { std::free(m_data); }
    TextArena(const TextArena &) = delete;
    TextArena &operator=(const TextArena &) = delete;
    TextArena(TextArena &&o) noexcept
        : m_data(std::exchange(o.m_data, nullptr))
        , m_size(std::exchange(o.m_size, 0))
        , m_capacity(std::exchange(o.m_capacity, 0))
    {
    }
    TextArena &operator=(TextArena &&o) noexcept
    {
        if (this != &o) {
            std::free(m_data);
            m_data = std::exchange(o.m_data, nullptr);
            m_size = std::exchange(o.m_size, 0);
            m_capacity = std::exchange(o.m_capacity, 0);
        }
        return *this;
    }

    char *data() { return m_data; }
    const char *data() const { return m_data; }
    char *begin() { return m_data; }
    char *end() { return m_data + m_size; }
    const char *begin() const { return m_data; }
    const char *end() const { return m_data + m_size; }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    char back() const { return m_data[m_size - 1]; }

    void reserve(size_t n)
    {
        if (n > m_capacity)
            setCapacity(n);
    }
    // Capacity to the size and n more.
    void fit(size_t more) { setCapacity(m_size + more); }
    void push_back(char c)
    {
        if (m_size == m_capacity)
            reserve(m_size + m_size / 16 + 64); // a sixteenth: a registration adds little
        m_data[m_size++] = c;
    }
    void append(const char *from, const char *to)
    {
        const auto n = size_t(to - from);
        reserve(m_size + n);
        std::memcpy(m_data + m_size, from, n);
        m_size += n;
    }
    // New bytes are fill.
    void resize(size_t n, char fill = ' ')
    {
        reserve(n);
        if (n > m_size)
            std::memset(m_data + m_size, fill, n - m_size);
        m_size = n;
    }
    void assign(size_t n, char fill)
    {
        m_size = 0;
        resize(n, fill);
    }

private:
    void setCapacity(size_t n)
    {
        void *p = std::realloc(m_data, n > 0 ? n : 1);
        if (!p)
            throw std::bad_alloc();
        m_data = static_cast<char *>(p);
        m_capacity = n;
    }

    char *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
