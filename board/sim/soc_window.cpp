#include "board/sim/soc_window.h"
#include "board/sim/bounded_log.h"

#include <errno.h>
#include <sys/mman.h>

#include <QJsonArray>

namespace sim {
namespace {

// The window currently alive, so that a store through a mapped pointer finds its model
// without a registry lookup.
std::mutex liveMutex;
std::weak_ptr<SocWindow> live;

Registration registration("/dev/mem", [] {
    auto window = std::make_shared<SocWindow>();
    std::lock_guard<std::mutex> lock(liveMutex);
    live = window;
    return window;
});

std::shared_ptr<SocWindow> liveWindow() {
    std::lock_guard<std::mutex> lock(liveMutex);
    return live.lock();
}

}  // namespace

SocWindow::SocWindow() : words_(kSize / 2, 0) {
    QJsonArray id = scene().value("chipId").toArray();
    auto word = [&id](int i, uint16_t fallback) {
        return i < id.size() ? static_cast<uint16_t>(id[i].toInt()) : fallback;
    };
    setChipId(word(0, 0x1A2B), word(1, 0x3C4D), word(2, 0x5E6F));
    setWord(kSdiReset, kSdiResetPowerOn);
}

SocWindow::~SocWindow() = default;

void* SocWindow::mmap(size_t length, off_t offset) {
    uint64_t start = static_cast<uint64_t>(offset);
    if (failMapping_ || start < kBase || start + length > kBase + kSize) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    return reinterpret_cast<char*>(words_.data()) + (start - kBase);
}

void SocWindow::failMapping(bool fail) {
    failMapping_ = fail;
}

void SocWindow::setChipId(uint16_t x, uint16_t y, uint16_t z) {
    setWord(kChipIdX, x);
    setWord(kChipIdY, y);
    setWord(kChipIdZ, z);
}

// The program reaches the same words through board::mmio_read16 / mmio_write16 from its
// own threads: each access is one atomic access, as on the board.
uint16_t SocWindow::word(uint32_t offset) const {
    return __atomic_load_n(&words_[offset / 2], __ATOMIC_ACQUIRE);
}

void SocWindow::setWord(uint32_t offset, uint16_t value) {
    __atomic_store_n(&words_[offset / 2], value, __ATOMIC_RELEASE);
}

std::vector<SocWindow::Change> SocWindow::changes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::vector<SocWindow::Change> SocWindow::changes(uint32_t offset) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Change> out;
    for (const Change& c : log_)
        if (c.offset == offset)
            out.push_back(c);
    return out;
}

void SocWindow::addListener(Listener listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.push_back(std::move(listener));
}

void SocWindow::record(uint32_t offset, uint16_t value) {
    double now = nowMs();
    std::vector<Listener> listeners;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        appendBounded(log_, Change{now, offset, value});
        listeners = listeners_;
    }
    for (auto& l : listeners)
        l(offset, value);
}

bool SocWindow::contains(const void* address) const {
    const char* p = static_cast<const char*>(address);
    const char* begin = reinterpret_cast<const char*>(words_.data());
    return p >= begin && p < begin + kSize;
}

void SocWindow::stored(volatile uint16_t* reg, uint16_t value) {
    const void* p = const_cast<const uint16_t*>(reg);
    std::shared_ptr<SocWindow> window = liveWindow();
    if (!window || !window->contains(p))
        return;
    const char* begin = reinterpret_cast<const char*>(window->words_.data());
    window->record(static_cast<uint32_t>(static_cast<const char*>(p) - begin), value);
}

void SocWindow::addReadListener(uint32_t offset, std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    readListeners_.emplace_back(offset, std::move(listener));
}

void SocWindow::loading(const volatile uint16_t* reg) {
    const void* p = const_cast<const uint16_t*>(reg);
    std::shared_ptr<SocWindow> window = liveWindow();
    if (!window || !window->contains(p))
        return;
    const char* begin = reinterpret_cast<const char*>(window->words_.data());
    const auto offset = static_cast<uint32_t>(static_cast<const char*>(p) - begin);
    std::vector<std::function<void()>> due;
    {
        std::lock_guard<std::mutex> lock(window->mutex_);
        for (const auto& [at, listener] : window->readListeners_)
            if (at == offset)
                due.push_back(listener);
    }
    for (auto& listener : due)
        listener();
}

bool SocWindow::owns(const void* address) {
    std::shared_ptr<SocWindow> window = liveWindow();
    return window && window->contains(address);
}

}  // namespace sim
