#include "board/sim/flash_bytes.h"

#include <unistd.h>

#include <algorithm>

namespace sim {

FlashBytes::FlashBytes(size_t size) : size_(size), pages_((size + kPage - 1) / kPage) {}

uint8_t FlashBytes::get(size_t at) const {
    const std::unique_ptr<Page>& p = pages_[at / kPage];
    return p ? (*p)[at % kPage] : 0xFF;
}

uint8_t* FlashBytes::page(size_t at) {
    std::unique_ptr<Page>& p = pages_[at / kPage];
    if (!p) {
        p = std::make_unique<Page>();
        p->fill(0xFF);
    }
    return p->data();
}

void FlashBytes::set(size_t at, uint8_t value) {
    if (value == 0xFF && !pages_[at / kPage])
        return;
    page(at)[at % kPage] = value;
}

void FlashBytes::read(size_t at, uint8_t* out, size_t count) const {
    for (size_t i = 0; i < count; ++i)
        out[i] = get(at + i);
}

void FlashBytes::write(size_t at, const uint8_t* in, size_t count) {
    for (size_t i = 0; i < count; ++i)
        set(at + i, in[i]);
}

void FlashBytes::erase(size_t at, size_t count) {
    const size_t end = std::min(size_, at + count);
    for (size_t i = at; i < end; ++i) {
        if (i % kPage == 0 && i + kPage <= end) {
            pages_[i / kPage].reset();
            i += kPage - 1;
            continue;
        }
        set(i, 0xFF);
    }
}

void FlashBytes::eraseAll() {
    for (std::unique_ptr<Page>& p : pages_)
        p.reset();
}

std::vector<uint8_t> FlashBytes::copy(size_t at, size_t count) const {
    std::vector<uint8_t> out(count);
    read(at, out.data(), count);
    return out;
}

bool FlashBytes::load(int fd) {
    eraseAll();
    Page buffer;
    for (size_t at = 0; at < size_; at += kPage) {
        const size_t n = std::min(kPage, size_ - at);
        if (::pread(fd, buffer.data(), n, static_cast<off_t>(at)) != static_cast<ssize_t>(n)) {
            eraseAll();
            return false;
        }
        write(at, buffer.data(), n);
    }
    return true;
}

bool FlashBytes::save(int fd, size_t at, size_t count) const {
    Page buffer;
    for (size_t done = 0; done < count; done += kPage) {
        const size_t n = std::min(kPage, count - done);
        read(at + done, buffer.data(), n);
        if (::pwrite(fd, buffer.data(), n, static_cast<off_t>(at + done)) !=
            static_cast<ssize_t>(n))
            return false;
    }
    return true;
}

}  // namespace sim
