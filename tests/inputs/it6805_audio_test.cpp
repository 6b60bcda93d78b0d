// The IT6805's audio sampling-rate check: the rate the audio clock regeneration gives
// (TMDS x N / (CTS x 128)) against the channel status, with HDMI's N and CTS values.
#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;

struct AudioCase {
    const char* name;
    int vic;
    uint32_t n, cts;
    uint8_t code;  // IEC 60958 sampling-frequency code of the rate
};

void PrintTo(const AudioCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Audio : public It6805Test, public testing::WithParamInterface<AudioCase> {};

TEST_P(It6805Audio, SamplingRateFromNAndCtsMatchesTheChannelStatus) {
    const AudioCase& c = GetParam();
    chip->setAudio(true, c.n, c.cts, c.code);
    plugAndWait(*sim::VideoTiming::cta861(c.vic));
    EXPECT_EQ(driver().data.Force_Sampling_Frequency, c.code);
    EXPECT_EQ(driver().data.Current_AudioSamplingFreq_ErrorCount, 0);
    EXPECT_EQ(chip->reg(0, 0x81) & 0x40, 0) << "not forced";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// HDMI's N and CTS for 74.25, 148.5 and 594 MHz TMDS clocks; 192 kHz at 594 MHz needs more
// than 32 bits for TMDS x N.
INSTANTIATE_TEST_SUITE_P(HdmiTables, It6805Audio,
                         testing::Values(AudioCase{"k32at74", 4, 4096, 74250, 0x03},
                                         AudioCase{"k44at74", 4, 6272, 82500, 0x00},
                                         AudioCase{"k48at74", 4, 6144, 74250, 0x02},
                                         AudioCase{"k32at148", 16, 4096, 148500, 0x03},
                                         AudioCase{"k44at148", 16, 6272, 165000, 0x00},
                                         AudioCase{"k48at148", 16, 6144, 148500, 0x02},
                                         AudioCase{"k48at594", 97, 6144, 594000, 0x02},
                                         AudioCase{"k192at594", 97, 24576, 594000, 0x0E}),
                         [](const testing::TestParamInfo<AudioCase>& info) {
                             return std::string(info.param.name);
                         });

// The channel status announces 44.1 kHz while N and CTS give 48 kHz: after sixteen checks
// the computed rate is forced.
TEST_F(It6805Test, ARateThatKeepsDisagreeingIsForced) {
    chip->setAudio(true, 6144, 148500, 0x00);
    plugAndWait(*sim::VideoTiming::cta861(16));
    EXPECT_EQ(driver().data.Force_Sampling_Frequency, 0x02);
    EXPECT_EQ(driver().data.Current_AudioSamplingFreq_ErrorCount, 1);
    // Each audio interrupt checks again.
    for (int check = 2; check < 16; ++check) {
        chip->raiseInterrupt(0x10, 0x80);
        pass();
    }
    EXPECT_EQ(driver().data.Current_AudioSamplingFreq_ErrorCount, 15);
    EXPECT_EQ(chip->reg(0, 0x81) & 0x40, 0);
    chip->raiseInterrupt(0x10, 0x80);
    pass();
    EXPECT_EQ(chip->reg(0, 0x81) & 0x40, 0x40);
    EXPECT_EQ(chip->reg(0, 0x8A) & 0x3F, 0x02);
    EXPECT_EQ(driver().data.Current_AudioSamplingFreq_ErrorCount, 0);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Test, ACtsOfZeroLeavesTheRateAloneAndThePictureIsStillPublished) {
    chip->setAudio(true, 6144, 0, 0x02);
    plugAndWait(*sim::VideoTiming::cta861(16));
    EXPECT_EQ(driver().data.Force_Sampling_Frequency, 0x00);
    EXPECT_EQ(record().Hact, 1920u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

}  // namespace
