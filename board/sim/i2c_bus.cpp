#include "board/sim/i2c_bus.h"
#include "board/sim/bounded_log.h"

#include <errno.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <QJsonArray>
#include <algorithm>
#include <set>

#include "board/board.h"
#include "board/sim/soc_window.h"

namespace sim {
namespace {

Registration registration("/dev/i2c-0", [] { return std::make_shared<I2cBus>(); });

constexpr uint8_t kInputChannel[4] = {0x02, 0x04, 0x08, 0x20};
constexpr uint8_t kD0Channel = 0x80;
constexpr unsigned kMaxMessages = 42;  // what the kernel's i2c-dev accepts in one call
constexpr unsigned kMaxMessageLength = 8192;

bool lineHigh(const std::shared_ptr<SocWindow>& soc, uint32_t offset) {
    return soc && (soc->word(offset) & 0x10);
}

}  // namespace

I2cBus::I2cBus()
    : receiverSwitch_(std::make_shared<I2cSwitch>()),
      edidSwitch_(std::make_shared<I2cSwitch>()),
      expander_(std::make_shared<I2cRegisterFile>(8, std::vector<uint8_t>{0xFF})),
      d0_(std::make_shared<I2cRegisterFile>(63)),
      it6805_(get<It6805Model>("it6805")),
      cec_(get<It6805CecModel>("it6805-cec")),
      edidRam_(makeIt6805EdidRam()),
      lvds_(makeIt6805LvdsBlock()) {
    QJsonArray kinds = scene().value("edid").toArray();
    for (int i = 0; i < 4; ++i) {
        std::string kind = i < kinds.size() ? kinds[i].toString().toStdString() : "valid";
        eeproms_[i] =
            std::make_shared<I2cEeprom>(board::path("/dev/i2c-0-eeprom" + std::to_string(i)), kind);
    }
    auto sources = get<HdmiSources>("hdmi-sources");
    for (int c = 0; c < 3; ++c)
        it6602_[c] = std::make_shared<It6602Model>(c, sources);
    dormant_[0x98] = PlainRegisterChip::it66121();
    dormant_[0x76] = PlainRegisterChip::sii9022();
    dormant_[0xCA] = PlainRegisterChip::cdce913();

    routes_.push_back({0xEE >> 1, receiverSwitch_, nullptr, 0});
    routes_.push_back({0xE0 >> 1, edidSwitch_, nullptr, 0});
    routes_.push_back({0x40 >> 1, expander_, nullptr, 0});
    for (auto& [address, chip] : dormant_)
        routes_.push_back({static_cast<uint8_t>(address >> 1), chip, nullptr, 0});
    for (int c = 0; c < 3; ++c)
        routes_.push_back({0x94 >> 1, it6602_[c], receiverSwitch_.get(), kInputChannel[c]});
    routes_.push_back({0x90 >> 1, it6805_, receiverSwitch_.get(), kInputChannel[3]});
    routes_.push_back({0xC8 >> 1, cec_, receiverSwitch_.get(), kInputChannel[3]});
    routes_.push_back({0xA8 >> 1, edidRam_, receiverSwitch_.get(), kInputChannel[3]});
    routes_.push_back({0xB4 >> 1, lvds_, receiverSwitch_.get(), kInputChannel[3]});
    for (int i = 0; i < 4; ++i)
        routes_.push_back({0xA0 >> 1, eeproms_[i], edidSwitch_.get(), kInputChannel[i]});
    routes_.push_back({0xD0 >> 1, d0_, edidSwitch_.get(), kD0Channel});
}

// The receivers sit in reset until the program drives their lines high; a low level seen
// at any moment returns them to power-on state. Wired at the first open, outside the
// registry's lock, so that no lock order runs from the registry to the SoC window.
void I2cBus::followSocWindow() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (socWired_)
            return;
        socWired_ = true;
    }
    auto soc = get<SocWindow>("/dev/mem");
    followResetLines(kRxResetGpio, lineHigh(soc, kRxResetGpio) ? 16 : 0);
    followResetLines(kHdmi20ResetGpio, lineHigh(soc, kHdmi20ResetGpio) ? 16 : 0);
    if (!soc)
        return;
    // The listener checks that the bus's own parts still exist before it touches them.
    soc->addListener(
        [this, alive = std::weak_ptr<I2cSwitch>(receiverSwitch_)](uint32_t offset, uint16_t value) {
            if (auto keep = alive.lock())
                followResetLines(offset, value);
        });
}

void I2cBus::followResetLines(uint32_t offset, uint16_t value) {
    bool low = !(value & 0x10);
    std::lock_guard<std::mutex> lock(mutex_);
    if (offset == kRxResetGpio)
        for (auto& chip : it6602_)
            chip->setInReset(low);
    if (offset == kHdmi20ResetGpio) {
        it6805_->setInReset(low);
        cec_->setInReset(low);
        edidRam_->setInReset(low);
        lvds_->setInReset(low);
    }
}

void I2cBus::followExpander() {
    bool protect = expander_->reg(0) & 0x01;
    for (auto& eeprom : eeproms_)
        eeprom->setWriteProtect(protect);
}

PlainRegisterChip& I2cBus::dormant(uint8_t address) {
    return *dormant_.at(address);
}

int I2cBus::open(const std::string& path, int flags) {
    followSocWindow();
    int fd = Node::open(path, flags);
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd >= 0)
        slaveAddress_[fd] = 0;
    return fd;
}

void I2cBus::closed(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    slaveAddress_.erase(fd);
}

std::vector<I2cDevice*> I2cBus::reachable(uint8_t address7) {
    std::vector<I2cDevice*> found;
    for (const Route& r : routes_) {
        if (r.address7 != address7)
            continue;
        if (r.behind && !(r.behind->control() & r.channel))
            continue;
        found.push_back(r.device.get());
    }
    return found;
}

bool I2cBus::transfer(std::vector<Message>& messages, std::vector<uint8_t*> readBuffers) {
    double now = nowMs();
    std::set<I2cDevice*> touched;
    bool ok = true;
    for (size_t m = 0; m < messages.size() && ok; ++m) {
        Message& msg = messages[m];
        msg.receiverChannels = receiverSwitch_->control();
        msg.edidChannels = edidSwitch_->control();
        std::vector<I2cDevice*> answering;
        for (I2cDevice* device : reachable(msg.address >> 1))
            if (device->select(msg.read, now))
                answering.push_back(device);
        touched.insert(answering.begin(), answering.end());
        msg.acked = !answering.empty();
        for (size_t b = 0; msg.acked && b < msg.bytes.size(); ++b) {
            if (msg.read) {
                uint8_t wired = 0xFF;  // open drain: a 0 from any device wins
                for (I2cDevice* device : answering)
                    wired &= device->readByte();
                msg.bytes[b] = wired;
                readBuffers[m][b] = wired;
                continue;
            }
            bool acked = false;
            for (I2cDevice* device : answering)
                acked = device->writeByte(msg.bytes[b], now) || acked;
            if (!acked) {
                msg.acked = false;
                msg.bytes.resize(b + 1);
            }
        }
        ok = msg.acked;
        if (!ok)
            messages.resize(m + 1);
    }
    for (I2cDevice* device : touched)
        device->stop(now);
    followExpander();
    appendBounded(log_, Transfer{now, messages, ok});
    return ok;
}

int I2cBus::ioctl(int fd, unsigned long request, void* arg) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (request) {
        case I2C_SLAVE:
        case I2C_SLAVE_FORCE: {
            unsigned long address = reinterpret_cast<unsigned long>(arg);
            if (address > 0x7F) {
                errno = EINVAL;
                return -1;
            }
            slaveAddress_[fd] = static_cast<uint8_t>(address);
            return 0;
        }
        case I2C_FUNCS:
            *static_cast<unsigned long*>(arg) = I2C_FUNC_I2C;
            return 0;
        case I2C_RDWR:
            break;
        default:
            errno = ENOTTY;
            return -1;
    }
    auto* data = static_cast<i2c_rdwr_ioctl_data*>(arg);
    if (!data || !data->msgs || data->nmsgs == 0 || data->nmsgs > kMaxMessages) {
        errno = EINVAL;
        return -1;
    }
    std::vector<Message> messages;
    std::vector<uint8_t*> buffers;
    for (unsigned i = 0; i < data->nmsgs; ++i) {
        const i2c_msg& m = data->msgs[i];
        if ((m.flags & I2C_M_TEN) || m.len > kMaxMessageLength || (m.len && !m.buf)) {
            errno = EINVAL;
            return -1;
        }
        bool read = m.flags & I2C_M_RD;
        Message msg{static_cast<uint8_t>(m.addr << 1), read, {}, false, 0, 0};
        msg.bytes =
            read ? std::vector<uint8_t>(m.len, 0) : std::vector<uint8_t>(m.buf, m.buf + m.len);
        messages.push_back(std::move(msg));
        buffers.push_back(m.buf);
    }
    if (!transfer(messages, buffers)) {
        errno = ENXIO;
        return -1;
    }
    return static_cast<int>(data->nmsgs);
}

ssize_t I2cBus::read(int fd, void* buf, size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count > kMaxMessageLength) {
        errno = EINVAL;
        return -1;
    }
    std::vector<Message> messages{{static_cast<uint8_t>(slaveAddress_[fd] << 1), true,
                                   std::vector<uint8_t>(count, 0), false, 0, 0}};
    if (!transfer(messages, {static_cast<uint8_t*>(buf)})) {
        errno = ENXIO;
        return -1;
    }
    return static_cast<ssize_t>(count);
}

ssize_t I2cBus::write(int fd, const void* buf, size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count > kMaxMessageLength) {
        errno = EINVAL;
        return -1;
    }
    const auto* bytes = static_cast<const uint8_t*>(buf);
    std::vector<Message> messages{{static_cast<uint8_t>(slaveAddress_[fd] << 1), false,
                                   std::vector<uint8_t>(bytes, bytes + count), false, 0, 0}};
    if (!transfer(messages, {nullptr})) {
        errno = ENXIO;
        return -1;
    }
    return static_cast<ssize_t>(count);
}

std::vector<std::string> I2cBus::protocolErrors() const {
    std::vector<std::string> all;
    for (size_t c = 0; c < it6602_.size(); ++c)
        for (const std::string& error : it6602_[c]->protocolErrors())
            all.push_back("IT6602 channel " + std::to_string(c) + ": " + error);
    for (const auto& [address, chip] : dormant_)
        for (const std::string& error : chip->protocolErrors())
            all.push_back(chip->name() + ": " + error);
    for (const auto& chip : {edidRam_, lvds_})
        for (const std::string& error : chip->protocolErrors())
            all.push_back(chip->name() + ": " + error);
    return all;
}

void I2cBus::clearProtocolErrors() {
    for (auto& chip : it6602_)
        chip->clearProtocolErrors();
    for (auto& [address, chip] : dormant_)
        chip->clearProtocolErrors();
    edidRam_->clearProtocolErrors();
    lvds_->clearProtocolErrors();
}

std::vector<I2cBus::Transfer> I2cBus::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void I2cBus::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

std::vector<I2cBus::Message> I2cBus::messagesTo(uint8_t address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Message> out;
    for (const Transfer& t : log_)
        for (const Message& m : t.messages)
            if (m.address == address)
                out.push_back(m);
    return out;
}

}  // namespace sim
