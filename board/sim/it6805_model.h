// The IT6805 HDMI 2.0 receiver (0x90 behind channel 0x20 of switch 0xEE), seen from its
// I2C port, its HDMI input 3 and its V-by-One output.
//
// Registers: 256 per bank, 8 banks; register 0x0F selects the bank in bits 2..0, and
// registers 0x00..0x0F (identity, the interrupt status of both ports, the bank select)
// answer in every bank. The register pointer advances with every byte. The map below
// lists what the chip has; an access outside it is a protocol error (and still acknowledged
// and stored, as an undocumented register would be). Interrupt status registers are
// write-1-to-clear; status registers ignore writes, and a write to a wholly read-only one
// is a protocol error.
//
// What the chip does by itself:
// - identity 0x54 0x49 0x05 0x68, ChipID at 0x04; ChipID 0x10 and 0xE0 are the late
//   revisions, which keep the timing registers at their own addresses;
// - the input: 5 V from the source in input 3 of sim::HdmiSources; the source sends TMDS
//   only while the hot-plug line is high (and sync is not lost); SCDT (0x19 bit 7) follows
//   the TMDS; port status 0x13/0x14 (0x14 bit 6 HDMI 2.0 above 340 MHz, bit 0 a TMDS clock
//   above 1 GHz: HDMI 2.0 or a source that says so); the TMDS count 0x48 with its range in 0x43
//   bits 7..5 and the latched pixel-clock count 0x99/0x9A (latched when 0x9A bit 7 goes to 0), both
//   against the reference clock, scattering so that their average is exact; the measured
//   timing in one of two register maps and the deep-colour code (0x98 bits 7..4); the AVI
//   InfoFrame (bank 2 0x15..0x19), N and CTS (bank 2 0xBE..0xC2) and the audio status;
// - a 4:2:0 picture is measured with half its pixels per line at half the pixel clock;
// - changes latch interrupts: 5 V (0x05 bit 0), clock on and changed (0x05 bits 1, 2),
//   HDMI/DVI mode (0x05 bit 4), channel lock (0x06 bit 0), clock ratio (0x08 bit 0),
//   SCDT (0x10 bit 1, and 0x1C bit 7), new AVI InfoFrame (0x12 bit 0);
// - front-end calibration: bank 3 (7) 0x3A bit 7 set starts it and 0x08 (0x0D) bit 4
//   reports it done;
// - the factory memory behind the read port of bank 1 (unlocked by 0xF8 <- 0xC3, 0xA5, then
//   powered by 0x5F bit 2, when 0x60 reads 0x19; address 0x50/0x51, command 0x54 <- 4,
//   data 0x61/0x62; the first answer after 0x57 <- 1 reads all ones), holding the reference
//   clock at word 0xB0/0xB1 of page 0 or 4;
// - hot-plug: bank 3 0xAB bits 7..6 = 11 drive the line high, anything else low; held in
//   reset the chip releases it;
// - V-by-One (bank 5): 0xC0 bits 5..4 the lane count (1, 2, 4, 8), a rising 0xD2 bit 4
//   starts the transmitter clock (0xDB bit 4), 0xC9 bit 0 turns the output off. The output
//   runs while the picture arrives, the output is on, its clock started and the lanes
//   carry the pixel rate (at most 100 MHz of pixels per lane, 4 Gbit/s); then 0x19 bit 1 is set
//   and the c331's V-by-One receiver 1 locks.
//
// - the equaliser and bit-error counter of port 0 (It6805Equaliser): a channel locks, and
//   sets its bit of 0x14 bits 3..5, when it decodes at its EQ value; 0x13 bits 2, 5 and 7
//   are set while all three channels are locked; 0xBE bit 0 latches character errors;
// - the CEC engine at 0xC8 is a model of its own (It6805CecModel).
//
// Scene: "it6805": {"chipId": 16, "refClockKHz": 23000}.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_device.h"
#include "board/sim/it6805_equaliser.h"
#include "board/sim/sim.h"

namespace sim {

class C331Model;

class It6805Model : public I2cDevice, public Part {
public:
    static constexpr int kInput = 3;
    static constexpr int kVboReceiver = 1;
    static constexpr uint8_t kDefaultChipId = 0x10;
    static constexpr uint32_t kDefaultRefClockKHz = 23000;
    static constexpr uint32_t kLaneMaxPixelKHz = 100000;

    // A run of registers of the chip's map.
    struct MapRow;
    struct Write {
        uint8_t bank;
        uint8_t reg;
        uint8_t value;
    };

    It6805Model();

    // A register as a read would answer it (without a read's side effects).
    uint8_t reg(unsigned bank, unsigned index) const;
    // Bank-0 register.
    uint8_t reg(unsigned index) const { return reg(0, index); }
    std::vector<Write> writes() const;
    void clearWrites();

    // Identity and the reference clock.
    void setChipId(uint8_t id);
    void setReferenceClock(uint32_t kHz);
    // The factory memory's reference-clock value: 24 bits, in hundredths of a kHz when
    // hundredths is set, programmed into page 0 or 4. By default the true clock, in
    // hundredths, in page 0.
    void setFactoryValue(uint32_t value, bool hundredths, unsigned page);
    // Faults: calibration that never finishes, a factory memory that never gets ready.
    void setCalibrationStuck(bool stuck);
    void setFactoryMemoryStuck(bool stuck);

    // What the source sends beyond its timing, and link faults.
    void setSyncLost(bool lost);  // the TMDS stops while 5 V stays
    void setAudio(bool present, uint32_t n, uint32_t cts, uint8_t channelStatusCode);
    void setAvMute(bool on);
    // Bits 7..4 of 0x98 while the input carries TMDS: the stream's deep-colour mode as the
    // chip codes it (0 by default).
    void setColourDepthCode(uint8_t code);
    void setOutputUnstable(bool unstable);
    // Latches interrupt bits of a bank-0 status register as the chip would.
    void raiseInterrupt(uint8_t reg, uint8_t bits);

    // The equaliser's script: what the EQ engine reports when started (bank 0 0x07 bits)
    // and the values it settles on; the errors a channel makes in one measurement at every
    // EQ value or at one (nullopt: the channel does not lock); the DFE readings a, b, c, d
    // of a channel for an RS index; a channel's SAR result flags.
    void setEqOutcome(uint8_t interruptBits);
    void setEqEngineValues(const std::array<uint8_t, 3>& values);
    void setBitErrors(int channel, It6805Equaliser::Errors errors);
    void setBitErrors(int channel, uint8_t eqValue, It6805Equaliser::Errors errors);
    void setDfeReadings(int channel, int rsIndex, const std::array<uint8_t, 4>& abcd);
    void setEqResultFlags(int channel, uint16_t flags);
    // A bit-error counter that latches no valid count, whatever the link does.
    void setBitErrorCounterDead(bool dead);
    // The EQ value a channel decodes with now, the engine runs and the bit-error
    // measurements so far.
    uint8_t eqValue(int channel) const;
    unsigned eqEngineStarts() const;
    unsigned bitErrorMeasurements() const;

    // What the chip drives.
    bool hotPlugHigh() const;
    bool outputRunning() const;
    // Lanes set in bank 5 0xC0 (1, 2, 4 or 8).
    unsigned laneCount() const;

    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

    // Hides I2cDevice::setInReset for the bus's reset line: in reset the chip releases its
    // hot-plug output.
    void setInReset(bool inReset);

protected:
    void powerOn() override;
    void started(bool read) override;
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override;
    void stopped(double nowMs) override;

private:
    struct Audio {
        bool present = true;
        std::optional<uint32_t> n, cts;  // default: 48 kHz with N 6144
        uint8_t code = 0x02;
    };
    // What arrives on the input at one moment.
    struct Link {
        bool fiveVolt = false;
        bool tmds = false;
        bool hdmi = true;
        bool hdmi20 = false;
        bool above1GHz = false;  // the clock detector's finding, 0x14 bit 0
        uint64_t generation = 0;
        VideoTiming timing;  // as the chip measures it (4:2:0 halved)
        uint32_t charRateKHz = 0;
        std::array<uint8_t, 5> avi{};
        bool yuv420 = false;
    };
    static const MapRow* mapRow(unsigned bank, unsigned index);
    Link observeLocked() const;
    void latchChangesLocked();
    uint8_t statusLocked(unsigned bank, unsigned index) const;
    uint8_t timingRegisterLocked(unsigned index) const;
    uint8_t readLocked(unsigned bank, unsigned index) const;
    uint8_t consumeLocked(unsigned bank, unsigned index);
    void writeLocked(unsigned bank, unsigned index, uint8_t value);
    void sideEffectsLocked(unsigned bank, unsigned index, uint8_t old, uint8_t value);
    void otpCommandLocked();
    unsigned tmdsRangeLocked() const;
    uint8_t tmdsSampleLocked();
    uint16_t pclkSampleLocked();
    bool outputRunningLocked() const;
    bool allLockedLocked() const;
    void updateOutputsLocked();
    unsigned bankLocked() const { return regs_[0][0x0F] & 0x07; }
    void errorLocked(const std::string& text);

    mutable std::mutex mutex_;
    std::shared_ptr<HdmiSources> sources_;
    std::shared_ptr<C331Model> c331_;

    std::array<std::array<uint8_t, 256>, 8> regs_{};
    std::array<uint8_t, 256> latches_{};  // interrupt status of bank 0 (and 0x05..0x0E)
    unsigned pointer_ = 0;
    uint8_t chipId_ = kDefaultChipId;
    uint32_t refClockKHz_ = kDefaultRefClockKHz;
    uint32_t factoryValue_ = kDefaultRefClockKHz * 100;
    bool factoryHundredths_ = true;
    unsigned factoryPage_ = 0;
    bool caofStuck_ = false;
    bool otpStuck_ = false;
    bool syncLost_ = false;
    bool avMute_ = false;
    uint8_t depthCode_ = 0;
    bool outputUnstable_ = false;
    Audio audio_;
    It6805Equaliser eq_;

    mutable uint64_t aviGeneration_ = ~uint64_t{0};
    mutable std::array<uint8_t, 5> aviCache_{};
    Link last_;
    bool lastModeHdmi_ = true;
    bool lastRatio_ = false;
    std::array<uint8_t, 5> lastAvi_{};
    bool keyFirst_ = false;  // 0xC3 written to 0xF8; 0xA5 next unlocks
    bool unlocked_ = false;
    bool otpFresh_ = false;
    bool txClockStable_ = false;
    uint16_t pclkLatched_ = 0;
    double tmdsCarry_ = 0;
    double pclkCarry_ = 0;
    bool hotPlugDriven_ = false;
    bool lockPushed_ = false;

    std::vector<Write> writes_;
    std::vector<std::string> errors_;
};

}  // namespace sim
