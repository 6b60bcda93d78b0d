// The bytes of a simulated flash: pages that hold only erased bytes (0xFF) take no memory,
// so that the simulated board's flashes do not count as the program's memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sim {

class FlashBytes {
public:
    explicit FlashBytes(size_t size);

    size_t size() const { return size_; }
    uint8_t get(size_t at) const;
    void set(size_t at, uint8_t value);
    void read(size_t at, uint8_t* out, size_t count) const;
    void write(size_t at, const uint8_t* in, size_t count);
    void erase(size_t at, size_t count);
    void eraseAll();
    std::vector<uint8_t> copy(size_t at, size_t count) const;
    // Whole contents from / to a file descriptor; false when the file is short or fails.
    bool load(int fd);
    bool save(int fd, size_t at, size_t count) const;

private:
    static constexpr size_t kPage = 4096;
    using Page = std::array<uint8_t, kPage>;
    uint8_t* page(size_t at);

    size_t size_;
    std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace sim
