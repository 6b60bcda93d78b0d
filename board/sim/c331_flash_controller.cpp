#include "board/sim/c331_flash_controller.h"

#include <QJsonArray>
#include <algorithm>
#include <cstdio>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

C331BehaviourRegistration registration([] { return std::make_unique<C331FlashController>(); });

constexpr uint8_t kBank = 0x04;
constexpr uint8_t kDestination = 0x11;
constexpr uint8_t kFifoAddress = 0x27;
constexpr uint8_t kMode = 0x47;
constexpr uint8_t kTrigger = 0x48;
constexpr uint8_t kProgramOpcode = 0x49;
constexpr uint8_t kReadOpcode = 0x4A;
constexpr uint8_t kCommandOpcode = 0x4B;
constexpr uint8_t kWriteEnableOpcode = 0x4C;
constexpr uint8_t kStatusOpcode = 0x4D;
constexpr uint8_t kAddress = 0x4E;
constexpr uint8_t kData = 0x52;
constexpr uint8_t kDataControl = 0x53;
constexpr uint8_t kStatus = 0x54;
constexpr uint8_t kFlashStatus = 0x55;
constexpr uint8_t kDmaLength = 0x56;
constexpr uint8_t kDmaTarget = 0x5A;
constexpr uint8_t kAccess = 0x5F;

constexpr uint8_t kModeReset = 0x80;
constexpr uint8_t kModeDirect = 0x31;
constexpr uint8_t kModeErase = 0x01;
constexpr uint8_t kModeDma = 0x33;
constexpr uint8_t kModeDmaFifo = 0x37;
constexpr uint8_t kAccessDirect = 1;
constexpr uint8_t kAccessDma = 2;

constexpr uint8_t kTriggerDma = 2;
constexpr uint8_t kTriggerErase = 4;
constexpr uint8_t kTriggerCommand = 5;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint32_t kDmaGo = 0x80000000u;
constexpr uint32_t kDmaBlock = 64u << 10;

constexpr uint8_t kPinBank = 0x05;
constexpr uint8_t kPaletteBank = 0x09;
constexpr uint8_t kPaletteIndex = 0x1F;
constexpr uint8_t kPaletteData = 0x20;
constexpr uint8_t kClockBank = 0xFF;
constexpr uint8_t kPaletteAccess = 0x01;

constexpr uint32_t kPage = 256;
constexpr uint32_t kFontHeaderBytes = 35;

struct EraseKind {
    uint8_t opcode;
    uint32_t size;
};
constexpr EraseKind kErases[] = {{0x20, 4096}, {0x52, 32768}, {0xD8, 65536}};

struct FontInfo {
    const char* name;
    uint32_t header;
    uint8_t encoding;  // 0 Chinese, 1 English
    uint8_t cell;
};
constexpr FontInfo kFonts[] = {
    {"32EN", 0x000000, 1, 32},
    {"32CN", 0x010000, 0, 32},
    {"64EN", 0x410000, 1, 64},
    {"64CN", 0x450000, 0, 64},
};

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

uint32_t C331FlashController::fontHeaderAddress(Font font) {
    return kFonts[static_cast<int>(font)].header;
}

C331FlashController::C331FlashController()
    : flash_(static_cast<uint32_t>(scene().value("c331").toObject().value("flashMiB").toInt(32))
             << 20) {
    const QJsonObject c331 = scene().value("c331").toObject();
    busyReads_ = c331.value("flashBusyReads").toInt(2);
    blitter_.setBusyReads(c331.value("blitBusyReads").toInt(2));
    for (const QJsonValue& name : c331.value("fonts").toArray()) {
        for (size_t i = 0; i < std::size(kFonts); ++i)
            if (name.toString() == kFonts[i].name)
                loadFontHeader(static_cast<Font>(i));
    }
}

void C331FlashController::loadFontHeader(Font font) {
    const FontInfo& f = kFonts[static_cast<int>(font)];
    std::vector<uint8_t> header(kFontHeaderBytes, 0);
    header[0] = 'P';
    header[5] = f.encoding;
    header[17] = f.cell;
    header[18] = f.cell;
    flash_.load(f.header, header);
}

void C331FlashController::error(const std::string& what) {
    appendBounded(errors_, "flash controller: " + what);
}

std::vector<std::string> C331FlashController::protocolErrors() const {
    std::vector<std::string> all = errors_;
    all.insert(all.end(), blitter_.errors().begin(), blitter_.errors().end());
    return all;
}

void C331FlashController::clearProtocolErrors() {
    errors_.clear();
    blitter_.clearErrors();
}

void C331FlashController::stick(Stuck bit, bool on) {
    const unsigned mask = 1u << static_cast<unsigned>(bit);
    stuck_ = on ? (stuck_ | mask) : (stuck_ & ~mask);
    if (bit == Stuck::BlitterBusy)
        blitter_.stickBusy(on);
}

std::vector<C331FlashController::Operation> C331FlashController::operations(Op op) const {
    std::vector<Operation> out;
    for (const Operation& o : ops_)
        if (o.op == op)
            out.push_back(o);
    return out;
}

void C331FlashController::clearLog() {
    ops_.clear();
    blitter_.clearLog();
}

// ---- status

void C331FlashController::startBusy(Busy kind) {
    busy_ = kind;
    busyLeft_ = busyReads_;
    if (kind == Busy::Program || kind == Busy::Erase)
        wel_ = true;
    if (busyLeft_ == 0)
        statusRead();
}

// Every status read counts down the operation in progress; the flash clears its write
// enable latch when a program or erase ends.
void C331FlashController::statusRead() {
    if (busyLeft_ > 0 && --busyLeft_ > 0)
        return;
    if ((busy_ == Busy::Program || busy_ == Busy::Erase) && !keepWel_)
        wel_ = false;
    busy_ = Busy::None;
}

uint8_t C331FlashController::status(const C331Chip& chip, uint8_t address) {
    uint8_t value = 0;
    switch (address) {
        case kDataControl: {
            value = chip.stored(kBank, address) & 0x5F;
            if (busy(Busy::Read) || stuck(Stuck::ReadPending))
                value |= 0x80;
            const bool pending = queued_ > 0 || busy(Busy::Program);
            if (!pending && !stuck(Stuck::ProgramPending))
                value |= 0x20;
            break;
        }
        case kStatus:
            if (busy(Busy::Dma) || stuck(Stuck::DmaBusy))
                value |= 0x01;
            if (busy(Busy::Program) || stuck(Stuck::WriteBusy))
                value |= 0x02;
            if (busy(Busy::Erase) || stuck(Stuck::EraseBusy))
                value |= 0x08;
            break;
        default:
            if (busy(Busy::Program) || busy(Busy::Erase) || stuck(Stuck::WriteInProgress))
                value |= 0x01;
            if (wel_ || stuck(Stuck::WriteEnable))
                value |= 0x02;
            break;
    }
    statusRead();
    return value;
}

bool C331FlashController::idle(const std::string& what) {
    if (busy_ == Busy::None || busyLeft_ == 0)
        return true;
    error(what + " while the controller is busy");
    return false;
}

bool C331FlashController::read(const C331Chip& chip, uint8_t bank, uint8_t address,
                               uint8_t& value) {
    if (bank != kBank)
        return false;
    if (C331Blitter::owns(address))
        return blitter_.read(chip, address, value);
    switch (address) {
        case kDataControl:
        case kStatus:
        case kFlashStatus:
            value = status(chip, address);
            return true;
        case kData:
            value = readData();
            return true;
        default:
            return false;
    }
}

// ---- writes

void C331FlashController::written(C331Chip& chip, uint8_t bank, uint8_t address, uint8_t value) {
    if (bank == kPaletteBank) {
        paletteWrite(chip, address, value);
        return;
    }
    if (bank != kBank)
        return;
    if (C331Blitter::owns(address)) {
        blitter_.written(chip, address, value, memory_);
        return;
    }
    switch (address) {
        case kMode:
            if (value == kModeReset) {
                if (queued_ > 0)
                    error(std::to_string(queued_) + " queued bytes dropped by a controller reset");
                queue_.clear();
                queued_ = 0;
                reading_ = false;
            }
            return;
        case kAddress:
            if (queued_ > 0)
                commit();
            return;
        case kData:
            queueByte(chip, value);
            return;
        case kDataControl:
            if (value & 0x01)
                startRead(chip);
            return;
        case kTrigger:
            trigger(chip, value);
            return;
        default:
            return;
    }
}

bool C331FlashController::pinsReady(const C331Chip& chip, const std::string& what) {
    const bool ready = chip.storedField(kPinBank, 0x42, 3) == 0x55 &&
                       chip.storedField(kPinBank, 0x3C, 2) == 0x300 &&
                       chip.storedField(kPinBank, 0x3E, 2) == 0x300 &&
                       chip.storedField(kPinBank, 0x45, 2) == 0x3FF;
    if (!ready)
        error(what + " without the flash pins set up");
    return ready;
}

bool C331FlashController::mode(const C331Chip& chip, uint8_t access, uint8_t controllerMode,
                               const std::string& what) {
    const uint8_t a = chip.stored(kBank, kAccess);
    const uint8_t m = chip.stored(kBank, kMode);
    if (a == access && m == controllerMode)
        return true;
    error(what + " in access mode " + std::to_string(a) + ", controller mode " + hex(m));
    return false;
}

void C331FlashController::queueByte(const C331Chip& chip, uint8_t value) {
    if (queued_ == 0) {
        if (!idle("program data") || !pinsReady(chip, "program data") ||
            !mode(chip, kAccessDirect, kModeDirect, "program data"))
            return;
        const bool opcodes = chip.stored(kBank, kProgramOpcode) == 0x12 &&
                             chip.stored(kBank, kWriteEnableOpcode) == 0x06 &&
                             chip.stored(kBank, kStatusOpcode) == 0x05;
        if (!opcodes) {
            error("program data without the program, write-enable and status opcodes");
            return;
        }
        queueStart_ = chip.storedField(kBank, kAddress, 4);
    }
    // Only a page of what is queued is programmed: bytes past it are counted, not kept.
    if (queue_.size() < kPage)
        queue_.push_back(value);
    ++queued_;
}

void C331FlashController::commit() {
    const uint32_t n = queued_;
    const uint32_t at = queueStart_;
    std::vector<uint8_t> bytes;
    bytes.swap(queue_);
    queued_ = 0;
    if (!flash_.holds(at, n)) {
        error("page program of " + std::to_string(n) + " bytes at " + hex(at) +
              ", outside the flash");
        return;
    }
    const uint32_t page = at - at % kPage;
    if (at % kPage + n > kPage) {
        error("page program of " + std::to_string(n) + " bytes at " + hex(at) +
              " crosses its page");
    }
    // The flash wraps inside its page, as a real one does.
    for (uint32_t i = 0; i < n && i < kPage; ++i)
        flash_.program(page + (at + i) % kPage, {bytes[i]});
    appendBounded(ops_, Operation{Op::Program, at, n, 0, 0});
    startBusy(Busy::Program);
}

void C331FlashController::startRead(const C331Chip& chip) {
    if (!idle("read start") || !pinsReady(chip, "read start") ||
        !mode(chip, kAccessDirect, kModeDirect, "read start"))
        return;
    if (chip.stored(kBank, kReadOpcode) != 0x0C) {
        error("read start without the read opcode");
        return;
    }
    reading_ = true;
    readAt_ = chip.storedField(kBank, kAddress, 4);
    appendBounded(ops_, Operation{Op::Read, readAt_, 0, 0, 0});
    startBusy(Busy::Read);
}

uint8_t C331FlashController::readData() {
    // A read before the read has started gets nothing from the flash.
    if (!reading_ || busy(Busy::Read))
        return 0xFF;
    if (!flash_.holds(readAt_, 1)) {
        error("read at " + hex(readAt_) + ", outside the flash");
        return 0xFF;
    }
    if (!ops_.empty() && ops_.back().op == Op::Read)
        ++ops_.back().length;
    return flash_.read(readAt_++);
}

void C331FlashController::trigger(const C331Chip& chip, uint8_t value) {
    switch (value) {
        case 0:
            return;
        case kTriggerDma:
            dma(chip);
            return;
        case kTriggerErase:
            erase(chip);
            return;
        case kTriggerCommand:
            command(chip);
            return;
        default:
            error("unknown trigger " + std::to_string(value));
            return;
    }
}

void C331FlashController::erase(const C331Chip& chip) {
    if (!idle("erase") || !pinsReady(chip, "erase") ||
        !mode(chip, kAccessDirect, kModeErase, "erase"))
        return;
    const uint8_t opcode = chip.stored(kBank, kCommandOpcode);
    uint32_t size = 0;
    for (const EraseKind& kind : kErases)
        if (kind.opcode == opcode)
            size = kind.size;
    if (size == 0) {
        error("erase with opcode " + hex(opcode));
        return;
    }
    const uint32_t address = chip.storedField(kBank, kAddress, 4);
    if (!flash_.holds(address, 1)) {
        error("erase at " + hex(address) + ", outside the flash");
        return;
    }
    flash_.erase(address, size);
    appendBounded(ops_, Operation{Op::Erase, address & ~(size - 1), size, 0, 0});
    startBusy(Busy::Erase);
}

void C331FlashController::command(const C331Chip& chip) {
    const uint8_t opcode = chip.stored(kBank, kCommandOpcode);
    if (!idle("command") || !pinsReady(chip, "command"))
        return;
    if (opcode != kWriteDisable) {
        error("command opcode " + hex(opcode));
        return;
    }
    if (!stuck(Stuck::WriteEnable))
        wel_ = false;
    appendBounded(ops_, Operation{Op::WriteDisable, 0, 0, 0, 0});
}

void C331FlashController::dma(const C331Chip& chip) {
    const uint8_t target = chip.stored(kBank, kDmaTarget) & 0x0F;
    const uint8_t expectedMode = target == 1 ? kModeDmaFifo : kModeDma;
    if (!idle("DMA") || !pinsReady(chip, "DMA") || !mode(chip, kAccessDma, expectedMode, "DMA"))
        return;
    const uint32_t word = chip.storedField(kBank, kDmaLength, 4);
    const uint32_t length = word & ~kDmaGo;
    const uint32_t from = chip.storedField(kBank, kAddress, 4);
    if (!(word & kDmaGo) || !flash_.holds(from, length)) {
        error("DMA of " + hex(word) + " from " + hex(from));
        return;
    }
    uint32_t to = 0;
    switch (target) {
        case 0:
            to = chip.storedField(kBank, kDestination, 4);
            if (!memory_.holds(to, length)) {
                error("DMA of " + std::to_string(length) + " bytes to " + hex(to) +
                      ", past the chip's memory");
                return;
            }
            // In blocks: a font is megabytes, and one buffer of it would stay in the heap.
            for (uint32_t done = 0; done < length; done += kDmaBlock) {
                const uint32_t n = std::min(kDmaBlock, length - done);
                memory_.write(to + done, flash_.read(from + done, n));
            }
            break;
        case 1:
            to = chip.storedField(kBank, kFifoAddress, 2);
            for (uint32_t i = 0; i < length; ++i)
                blitter_.fifoPut(to + i, flash_.read(from + i));
            break;
        case 4:
            to = static_cast<uint32_t>(palette_.index);
            if (!(chip.stored(kClockBank, kPaletteAccess) & 1)) {
                error("DMA into the palette while it is closed");
                return;
            }
            for (uint32_t i = 0; i < length; ++i)
                palette_.put(flash_.read(from + i));
            break;
        default:
            error("DMA to target " + std::to_string(target));
            return;
    }
    appendBounded(ops_, Operation{Op::Dma, from, length, target, to});
    startBusy(Busy::Dma);
}

void C331FlashController::paletteWrite(const C331Chip& chip, uint8_t address, uint8_t value) {
    if (address == kPaletteIndex) {
        palette_.start(value);
        return;
    }
    if (address != kPaletteData)
        return;
    if (!(chip.stored(kClockBank, kPaletteAccess) & 1)) {
        error("palette write of " + hex(value) + " while the palette is closed");
        return;
    }
    palette_.put(value);
}

}  // namespace sim
