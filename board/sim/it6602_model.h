// One channel of the input board's IT6602 HDMI receiver, as its I2C port sees it.
//
// The chip answers at 0x94 (8-bit form) behind the receiver switch. It has two HDMI ports:
// port 0 is wired to one input of the board (its 5 V, TMDS and hot-plug pins go to
// sim::HdmiSources), port 1 is not wired (no 5 V, no clock, ever).
//
// Access: the first byte written in a message is the register pointer, which advances with
// every data byte read or written. Register 0x0F is the bank register in every bank (bits
// 0..1 select bank 0, 1 or 2 for registers 0x10..0xFF); registers 0x00..0x0E exist in bank 0
// only. Every register the chip has is in kRegisterMap (the .cpp) with its kind; a read or
// write of anything else, or a write to a read-only register, goes on protocolErrors() and
// changes nothing.
//
// Bank 0, status (read-only):
//   0x00..0x03 identity 0x54 0x49 0x02 0x68
//   0x0A port 0 / 0x0B port 1: bit 0 5 V, bit 3 TMDS clock, bit 4 HDMI mode (clock with
//        HDMI framing; clear for DVI), bit 5 AV mute received (the sources never send it),
//        bit 6 clock stable; 0x0A bit 7 SCDT: sync detected on the selected port
//   0x0C bit 6 / bit 7: receiver PLL of port 0 / port 1 locked
//   0x4E PLL overwrite status (reads 0)
//   0x90 TMDS clock range, bits 0..1 port 0, bits 2..3 port 1 (bit 0: x2, bit 1: x4);
//        0x91 / 0x92 TMDS divider of port 0 / 1: 3072 x range / TMDS clock in MHz, rounded
//   0x99 bit 1 interlaced, bits 4..7 colour depth (4: 24 bits)
//   0x9A oscillator cycles per 128 pixel clocks, truncated: 3 162 000 / pixel clock in kHz
//        (at most 255; 0 without a clock)
//   0x9C..0xA8 video timing as measured: H total (0x9D bits 0..5, 0x9C), H active (0x9F
//        bits 0..5, 0x9E), H sync (0xA1 bit 0, 0xA0), H front porch (0xA1 bits 4..7, 0xA2),
//        V total (0xA4 bits 0..3, 0xA3), V active (0xA4 bits 4..7, 0xA5), V sync (0xA6
//        bits 0..4), V front porch (0xA7 bits 0..5), 0xA8 bit 0 HSync / bit 3 VSync
//        positive. An interlaced source is measured per field.
//   0xAA..0xAC audio of the selected port: 0xAA bit 7 audio present, bit 6 HBR audio, bit 5
//        more than two channels; 0xAB channel count; 0xAC sample-rate code (IEC 60958:
//        2 = 48 kHz). An HDMI source carries two channels at 48 kHz; DVI carries none.
// Bank 0, interrupts (write 1 to clear):
//   0x05 port 0 / 0x06 port 1: bit 0 5 V change, bit 1 clock stable change, bit 2 PLL lock
//        change, bit 3 clock lost or changed, bit 4 clock detected, bit 5 HDMI/DVI mode
//        change, bit 6 ECC error, bit 7 ECC counter reset (not raised)
//   0x07 bit 1 SCDT change; bit 0 PLL unlock, bits 4/5 AV mute set/cleared, bit 7 audio
//        FIFO error (not raised by themselves)
//   0x08 bit 2 new vendor-specific infoframe
//   0x09 bit 0 AVI infoframe changed; bits 5/6 deskew error port 0/1 (not raised)
//   0xD0 bit 4 / 6 automatic equalisation of port 0 / 1 done, amplitudes measured; bit 5 / 7
//        equalisation of port 0 / 1 failed; bits 0..3 not raised
//   0xB2 (port 0) / 0xB7 (port 1): bit 6 ECC error, bit 7 uncorrectable error; 0xB3 / 0xB8
//        bits 5..7 per-channel error flags; 0xB4..0xB6 / 0xB9..0xBB character error counters
//        (saturating at 0xFF, cleared by any write)
// Bank 0, controls with an effect here (every other mapped register only stores):
//   0x10 bit 0 receiver reset: while set the status and interrupts read 0; clearing it makes
//        the chip report its ports afresh, a 5 V already present included (also after the
//        reset line). Bit 1 audio reset.
//   0x22 / 0x3A bit 2: a write with it set restarts the automatic equalisation of port 0 / 1
//   0x26 / 0x3E bit 5 manual equalisation of port 0 / 1; 0x27 / 0x3F its value
//   0x51 bit 0: the selected port; bit 2 half output bus
//   0x53 bits 0..3 video outputs tristated, bit 7 video mute
//   0x65 bits 0..1 colour-space converter: 0 bypass, 1 RGB range change, 2 RGB to YCbCr,
//        3 YCbCr to RGB; bits 2..3 colour depth; bits 4..5 output colour mode
//   0x73 bit 3: a write with it set latches the oscillator count into 0x61..0x63 (24 bits,
//        0x61 low byte; 4 869 600 for the nominal oscillator)
//   0x77 bit 0: a write with it set latches the pixel clock into bank 2 0xC0..0xC2; the bit
//        reads 0
//   0x7D bit 0 audio output enable, bit 1 hardware mute-clear mode, bit 2 mute clear
// Bank 1: 0x70..0x84 colour matrix (3 offsets, then 9 coefficients of 14 bits, little
//   endian, 0x0800 = 1.0, rows and columns in channel order G/Y, R/Cr, B/Cb); 0x8D bits
//   0..2 output signal type, 0x8E bits 0..1 output colour depth; 0x8F..0x9F 3D frame
//   timing; 0xB0 bits 0..1 hot-plug of port 0 (the line is high while both are set);
//   read-only: 0xD0 / 0xD8 amplitude-valid bit pairs of the three TMDS channels of port 0 /
//   1, 0xD5..0xD7 / 0xDD..0xDF their amplitudes. 0xB1 (port 1: 0xC1) bits 5..7 and 0xB2
//   (0xC2) bits 0..2 override the receiver PLL; they only store here.
// Bank 2 (read-only): 0x14..0x19 AVI infoframe (0x14 checksum, 0x15.. data bytes 1..5);
//   0x30..0x4E vendor-specific infoframe (0x30..0x32 header, 0x33.. checksum and data);
//   0xC0..0xC2 pixel clock in kHz: 0xC1 bits 19..12, 0xC2 bits 11..4, 0xC0 bits 7..4.
//
// The link: a source sends TMDS only while it sees the hot-plug line high, so the clock,
// the PLL lock, HDMI mode and SCDT (on the selected port) follow 5 V and hot-plug, unless
// the source's stream has no sync the chip can find (setSyncLost): clock and PLL lock stay,
// SCDT drops. The chip's automatic equalisation runs when the clock appears and when it is
// restarted; it ends at once with "done" (amplitudes valid) or "failed". A failed one is
// retried until the equalisation is manual: "failed" rises again at the fourth read of 0xD0
// after it was cleared (the driver reads it once a polling cycle).
// Equaliser readings and error counts are scripted per port (setAmplitudes, setEqErrors).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_device.h"
#include "board/sim/sim.h"

namespace sim {

class It6602Model : public I2cDevice, public Part {
public:
    static constexpr int kBanks = 3;
    static constexpr uint32_t kNominalOscillatorCount = 4869600;

    struct Write {
        uint8_t bank;
        uint8_t reg;
        uint8_t value;
    };

    // input: the board input wired to port 0. sources may be null (nothing ever plugged).
    It6602Model(int input, std::shared_ptr<HdmiSources> sources);

    // A stored register as the chip holds it.
    uint8_t reg(int bank, uint8_t index) const;
    // Stores a value in a read-write register as a left-over of earlier work, without the
    // effects of a write and without logging it.
    void setReg(int bank, uint8_t index, uint8_t value);
    // Every data byte written to a mapped register, in order.
    std::vector<Write> writes() const;
    void clearWrites();
    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

    // Equaliser readings of a port: the three channels' amplitudes and whether the chip finds
    // them valid (an invalid reading makes the automatic equalisation fail).
    void setAmplitudes(int port, std::array<uint8_t, 3> amplitudes, bool valid);
    // While the manual equaliser value of a port is eqValue, the first `polls` reads of the
    // port's error register (0xB2 / 0xB7) after that value was written report an ECC error.
    void setEqErrors(int port, uint8_t eqValue, int polls);
    // A vendor-specific infoframe the source sends from now on (header, then checksum and
    // data bytes); empty stops it.
    void setVendorInfoFrame(std::vector<uint8_t> frame);
    // Faults: every clock and timing measurement reads 0.
    void setMeasurementsZero(bool zero);
    // Fault: the TMDS clock runs but the chip detects no sync in the stream (SCDT low).
    void setSyncLost(bool lost);
    // The automatic equalisation of port 0 ends now, as the chip measured the amplitudes
    // again (a cable that changed under it): readings as scripted, "done" or "failed".
    void finishAutoEq();
    void setOscillatorCount(uint32_t count);
    // Raises interrupt bits as the chip would (bank 0 register 0x05..0x09 or 0xD0).
    void raiseInterrupt(uint8_t index, uint8_t bits);

protected:
    void powerOn() override;
    void started(bool read) override;
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override;

private:
    enum class Kind : uint8_t { None, Rw, Ro, W1c, Counter };
    struct Link {
        bool fiveV = false;
        bool clock = false;
        bool hdmi = false;
        bool scdt = false;
        bool operator==(const Link& o) const {
            return fiveV == o.fiveV && clock == o.clock && hdmi == o.hdmi && scdt == o.scdt;
        }
    };
    struct EqScript {
        std::array<uint8_t, 3> amplitudes{{0x18, 0x18, 0x18}};
        bool valid = true;
        std::map<uint8_t, int> errors;  // manual value -> polls with an ECC error
        int remaining = 0;
        bool failPending = false;  // a failed automatic equalisation is being retried
        int readsSinceFail = 0;
    };

    static Kind kindOf(int bank, uint8_t index);
    int bankOf(uint8_t index) const;
    uint8_t& at(int bank, uint8_t index) { return regs_[bank][index]; }
    void error(const char* what, int bank, uint8_t index);
    void writeRegister(int bank, uint8_t index, uint8_t value);
    uint8_t readRegister(int bank, uint8_t index);
    void afterWrite(int bank, uint8_t index, uint8_t value);

    // Status, interrupts and measurements from the source on the wire, run before every
    // access and after every write; the measurements are rewritten only when the link or
    // the source changed.
    void refresh();
    Link linkNow(const std::optional<VideoTiming>& source) const;
    void raiseLinkChanges(const Link& now, bool newTiming);
    void writeStatus(const Link& now);
    void writeTiming(const std::optional<VideoTiming>& source, bool clock);
    void writeInfoFrames(const std::optional<VideoTiming>& source, bool hdmi);
    void runAutoEq(int port);
    void retryAutoEq(int port);
    void latchPixelClock();
    void latchOscillator();
    bool hotPlugHigh() const;
    bool inReceiverReset() const;
    bool manualEq(int port) const;

    const int input_;
    std::shared_ptr<HdmiSources> sources_;
    mutable std::mutex mutex_;
    std::array<std::array<uint8_t, 256>, kBanks> regs_{};
    unsigned pointer_ = 0;
    Link link_;
    uint64_t generation_ = 0;
    uint32_t pixelClockKHz_ = 0;
    bool remeasure_ = true;  // measurements to be written even without a link change
    bool measurementsZero_ = false;
    bool syncLost_ = false;
    uint32_t oscillator_ = kNominalOscillatorCount;
    std::vector<uint8_t> vendorFrame_;
    bool vendorSent_ = false;
    EqScript eq_[2];
    std::vector<Write> writes_;
    std::vector<std::string> errors_;
};

}  // namespace sim
