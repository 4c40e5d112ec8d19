#pragma once
// CByteBuffer: the growing content of a text field. It grows by doubling through realloc, which
// for large blocks can move the pages instead of copying them, so a field of hundreds of
// megabytes is neither copied on every growth nor held twice while it grows.
//
//   parser::CByteBuffer content;
//   content.Reserve(1024);
//   content.Append(data, count);           // std::bad_alloc when memory runs out
//   std::string_view bytes = content.View();
//
// Contract: View() stays valid until the next Append or Reserve; the buffer owns its memory.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace parser {

class CByteBuffer {
public:
    CByteBuffer() noexcept = default;
    ~CByteBuffer() { std::free(data_); }
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;

    /// Makes room for at least `capacity` bytes in all.
    void Reserve(std::size_t capacity)
    {
        if (capacity <= capacity_)
            return;
        void* grown = std::realloc(data_, capacity);
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = static_cast<char*>(grown);
        capacity_ = capacity;
    }

    /// Appends `count` bytes.
    void Append(const char* data, std::size_t count)
    {
        if (count > capacity_ - size_) {
            if (count > SIZE_MAX / 2 - size_)
                throw std::bad_alloc();
            std::size_t capacity = capacity_ == 0 ? 1024 : capacity_;
            while (capacity < size_ + count)
                capacity *= 2;
            Reserve(capacity);
        }
        std::memcpy(data_ + size_, data, count);
        size_ += count;
    }

    std::string_view View() const noexcept { return {data_, size_}; }
    bool Empty() const noexcept { return size_ == 0; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace parser
