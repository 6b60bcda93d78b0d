// What the running program does to the simulated board's chips, on its own at start and
// at a PC's request: the FPGA's output start, the EDID memories, the c331's service
// sequences and the screen black switch.
#include <gmock/gmock.h>
#include <stdio.h>

#include <algorithm>
#include <numeric>

#include "board/sim/c331_model.h"
#include "board/sim/fpga_model.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/i2c_device.h"
#include "board/sim/sim.h"
#include "tests/support/sim_test.h"
#include "tests/system/program.h"

using pc::Bytes;
using systest::SystemTest;

namespace {

Bytes header(uint32_t address, unsigned count) {
    return pc::access(address, count);
}

Bytes eeprom(int input) {
    return systest::readFile("/dev/i2c-0-eeprom" + std::to_string(input));
}

// The base block of an EDID as E-EDID defines it: the fixed header, bytes summing to 0.
bool edidBaseBlockValid(const Bytes& e) {
    const Bytes fixed = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    return e.size() >= 128 && Bytes(e.begin(), e.begin() + 8) == fixed &&
           std::accumulate(e.begin(), e.begin() + 128, 0u) % 256 == 0;
}

// The active size of a detailed timing descriptor of the base block (54, 72, 90, 108).
bool hasDetailedTiming(const Bytes& e, unsigned width, unsigned height) {
    for (size_t d = 54; d + 18 <= 126 && e.size() >= 128; d += 18) {
        if (e[d] == 0 && e[d + 1] == 0)
            continue;  // a display descriptor, not a timing
        unsigned w = e[d + 2] | (e[d + 4] & 0xF0) << 4;
        unsigned h = e[d + 5] | (e[d + 7] & 0xF0) << 4;
        if (w == width && h == height)
            return true;
    }
    return false;
}

// edid-decode's conformity verdict on an EDID memory's file.
bool edidDecodePasses(int input) {
    std::string command =
        "edid-decode -c " + systest::rooted("/dev/i2c-0-eeprom") + std::to_string(input) + " 2>&1";
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        return false;
    std::string text;
    char buf[512];
    while (fgets(buf, sizeof buf, out))
        text += buf;
    pclose(out);
    return text.find("EDID conformity: PASS") != std::string::npos;
}

class Chips : public SystemTest {
protected:
    std::shared_ptr<sim::FpgaModel> fpga0() { return sim::get<sim::FpgaModel>("fpga0"); }
    std::shared_ptr<sim::C331Model> c331() { return sim::get<sim::C331Model>("c331"); }
};

}  // namespace

TEST_F(Chips, Fpga0ReachesOutputRunningAndItsReadyStateReadsOverSerial) {
    ASSERT_TRUE(systest::waitForOutputRunning());
    auto fpga = fpga0();
    EXPECT_EQ(fpga->reg(3) & 0xE0, 0xE0);   // link trained (6, 7), screen enabled (5)
    EXPECT_EQ(fpga->reg(23) & 0x01, 0x01);  // output enabled
    EXPECT_EQ(fpga->reg(22) & 0x90, 0x90);  // locked, video present
    EXPECT_EQ(fpga->reg(0) & 0x04, 0x00);   // screen shown
    // The parameter RAM it was given: the default screen 1280 x 1024, the output-port
    // numbers 1..6 of FPGA 0.
    EXPECT_EQ(fpga->ram(1, 0, 8), (Bytes{0x00, 0x05, 0x00, 0x04, 0x76, 0x05, 0xD2, 0x01}));
    EXPECT_EQ(fpga->ram(1, 276, 6), (Bytes{1, 2, 3, 4, 5, 6}));

    // Register 80 of FPGA 0, its ready state, is 3.
    auto pcSerial = systest::serial();
    auto r = pcSerial->exchange(0xA1, header(0x1050, 1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(r->data(), (Bytes{0x50, 0x10, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03}));
}

TEST_F(Chips, TheEdidCheckAtStartRepairsTheBlankMemoryOfInput2Only) {
    EXPECT_TRUE(test::waitFor([] { return systest::setting("config/EDIDCheck") == "Never"; }));
    const Bytes repaired = eeprom(2);
    ASSERT_EQ(repaired.size(), 256u);
    EXPECT_TRUE(edidBaseBlockValid(repaired));
    EXPECT_TRUE(edidDecodePasses(2));
    // The memories that held a valid EDID keep what they held.
    const Bytes valid = sim::I2cEeprom::sceneContent("valid");
    EXPECT_EQ(eeprom(1), valid);
    EXPECT_EQ(eeprom(3), valid);
}

TEST_F(Chips, ACustomEdidSizeThePcWritesIsWrittenIntoTheEdidMemoryOfInput0) {
    EXPECT_TRUE(test::waitFor([] { return systest::setting("config/EDIDCheck") == "Never"; }));
    auto pcUdp = systest::udp();
    // Input 0's EDID size (image 896): 1280 x 720 at 60 Hz; then register 11 applies it.
    const Bytes size = {0x00, 0x05, 0xD0, 0x02, 0x3C, 0x00};
    auto r = pcUdp->exchange(0x60, pc::access(896, 6, size));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    r = pcUdp->exchange(0xA0, pc::access(11, 1, {0x01}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    // The memory is written page by page while the test watches: wait for the whole EDID.
    EXPECT_TRUE(test::waitFor(
        [] { return hasDetailedTiming(eeprom(0), 1280, 720) && edidDecodePasses(0); }, 5000));
    EXPECT_TRUE(edidBaseBlockValid(eeprom(0)));
    r = systest::tcp()->exchange(0x61, header(896, 6));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->values(), size);
}

TEST_F(Chips, AServiceRegisterWrittenOverTcpRunsTheOutputTestBarsOnTheC331) {
    auto pcTcp = systest::tcp();
    // Register A2 bit 1: the moving bars on output channels 0..3.
    auto r = pcTcp->exchange(0xA0, pc::access(0xA2, 1, {0x02}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    auto chip = c331();
    EXPECT_TRUE(test::waitFor([&] {
        return chip->reg(0x08, 0x57) == 9 && chip->reg(0x38, 0x57) == 9 &&
               chip->reg(0x38, 0x68) == 3;
    }));
    EXPECT_EQ(chip->field(0x08, 0x58, 3), 0u);
    EXPECT_EQ(chip->field(0x08, 0x5B, 2), 160u);
    EXPECT_EQ(chip->field(0x08, 0x5D, 2), 0u);
    EXPECT_EQ(chip->field(0x08, 0x5F, 2), 32u);
    EXPECT_EQ(chip->field(0x08, 0x61, 2), 1376u);
    // Colour (63..65) and component enables (66..68) of channels 0..3.
    const uint32_t colour[4] = {0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000};
    const uint32_t enable[4] = {0x030303, 0x000003, 0x000300, 0x030000};
    for (int c = 0; c < 4; ++c) {
        const uint8_t bank = static_cast<uint8_t>(0x08 + 16 * c);
        EXPECT_EQ(chip->reg(bank, 0x57), 9) << c;
        EXPECT_EQ(chip->field(bank, 0x63, 3), colour[c]) << c;
        EXPECT_EQ(chip->field(bank, 0x66, 3), enable[c]) << c;
    }
    // The request byte (register 0x22) is served and cleared.
    EXPECT_TRUE(test::waitFor([&] {
        auto back = pcTcp->exchange(0xA1, header(0x22, 1));
        return back && back->values() == Bytes{0x00};
    }));

    // Bit 2: channel 1's bars off.
    r = pcTcp->exchange(0xA0, pc::access(0xA2, 1, {0x04}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_TRUE(test::waitFor([&] { return chip->reg(0x18, 0x57) == 0; }));
    EXPECT_EQ(chip->reg(0x08, 0x57), 9);
}

TEST_F(Chips, ScreenBlackThePcWritesIntoTheImageReachesTheFpgaOutput) {
    ASSERT_TRUE(systest::waitForOutputRunning());
    auto pcUdp = systest::udp();
    auto fpga = fpga0();
    // Image 2116, the screen black switch, then register 11 to apply it.
    auto set = [&](uint8_t black) {
        auto r = pcUdp->exchange(0x60, pc::access(2116, 2, {black, 0x00}));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status(), 0);
        r = pcUdp->exchange(0xA0, pc::access(11, 1, {0x01}));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status(), 0);
    };
    // Byte 29 of the controller's status area is the screen state: 1 shown, 0 black.
    auto screenState = [&] {
        auto r = pcUdp->exchange(0x61, header(0x21000 + 29, 1));
        return r && r->status() == 0 ? r->values() : Bytes{};
    };
    set(1);
    EXPECT_TRUE(test::waitFor([&] { return (fpga->reg(0) & 0x04) != 0; }));
    EXPECT_EQ(screenState(), Bytes{0x00});
    set(0);
    EXPECT_TRUE(test::waitFor([&] { return (fpga->reg(0) & 0x04) == 0; }));
    EXPECT_EQ(screenState(), Bytes{0x01});
}
