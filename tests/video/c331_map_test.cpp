// The chip model's register map: what the simulated c331 refuses and how it says so.
#include <gmock/gmock.h>

#include "board/sim/c331_model.h"
#include "board/sim/c331_register_map.h"
#include "board/sim/sim.h"
#include "tests/support/sim_test.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

class C331Map : public test::SimTest {
protected:
    std::shared_ptr<sim::C331Model> chip() { return sim::get<sim::C331Model>("c331"); }
    void write(uint8_t bank, uint8_t address, uint8_t value) {
        std::vector<uint8_t> rx(2);
        chip()->transfer({0x80, bank}, rx);
        chip()->transfer({static_cast<uint8_t>(0x80 | address), value}, rx);
    }
    uint8_t read(uint8_t bank, uint8_t address) {
        std::vector<uint8_t> rx(2);
        chip()->transfer({0x80, bank}, rx);
        chip()->transfer({address, 0xFF}, rx);
        return rx[1];
    }
};

TEST_F(C331Map, AccessesOutsideTheMapAreReportedWithBankAndAddressAndChangeNothing) {
    write(0x10, 0x20, 0x55);
    EXPECT_EQ(chip()->reg(0x10, 0x20), 0);
    chip()->setReg(0x10, 0x20, 0x66);
    EXPECT_EQ(read(0x10, 0x20), 0);
    EXPECT_THAT(chip()->protocolErrors(),
                ElementsAre("write of 0x55 to unmapped register bank 0x10 address 0x20",
                            "read of unmapped register bank 0x10 address 0x20"));
    // The board lists them under the part's name; clearing the log keeps them.
    chip()->clearLog();
    EXPECT_THAT(sim::allProtocolErrors(),
                ElementsAre(HasSubstr("c331: write of 0x55"), HasSubstr("c331: read of")));
    sim::clearAllProtocolErrors();
    EXPECT_TRUE(sim::allProtocolErrors().empty());

    // Bank selects reach every bank; a mapped register keeps what was written.
    write(0x38, 0x49, 0x12);
    EXPECT_EQ(read(0x38, 0x49), 0x12);
    EXPECT_EQ(chip()->bank(), 0x38);
    EXPECT_TRUE(chip()->protocolErrors().empty());
}

TEST_F(C331Map, StatusRegistersRefuseWrites) {
    write(0xB2, 0x08, 0x11);
    EXPECT_EQ(read(0xB2, 0x08), 0x24);
    write(0xAE, 0x09, 0x22);  // a port's measured total
    EXPECT_EQ(chip()->reg(0xAE, 0x09), 0);
    EXPECT_THAT(chip()->protocolErrors(),
                ElementsAre("write of 0x11 to read-only register bank 0xB2 address 0x08 (chip "
                            "identity)",
                            HasSubstr("read-only register bank 0xAE address 0x09")));
    chip()->clearProtocolErrors();
}

TEST_F(C331Map, MessagesOfAnotherLengthAreRefused) {
    std::vector<uint8_t> rx(3);
    chip()->transfer({0x88, 0x01, 0x02}, rx);
    EXPECT_THAT(chip()->protocolErrors(), ElementsAre("message of 3 bytes"));
    EXPECT_TRUE(chip()->log().empty());
    chip()->clearProtocolErrors();
}

// Channel blocks repeat 16 banks apart, as many times as the chip has the block.
TEST_F(C331Map, ChannelBlocksEndWithTheChipsChannels) {
    const auto& map = sim::C331RegisterMap::instance();
    for (int c = 0; c < 8; ++c)
        EXPECT_TRUE(map.mapped(static_cast<uint8_t>(0x08 + 16 * c), 0x4B)) << c;
    EXPECT_FALSE(map.mapped(0x88, 0x49)) << "there are eight output channels";
    EXPECT_TRUE(map.mapped(0x3E, 0x60)) << "blend unit of the fourth position";
    EXPECT_FALSE(map.mapped(0x4E, 0x11)) << "only the first four positions blend";
    EXPECT_TRUE(map.mapped(0x44, 0x63)) << "the fourth input processor";
    EXPECT_FALSE(map.mapped(0x54, 0x50)) << "there are four input processors";
    EXPECT_TRUE(map.mapped(0x91, 0x7F)) << "the shrink kernel of path 7 for both paths";
    EXPECT_EQ(map.describe(0x28, 0x4A), "bank 0x28 address 0x4A (background colour, channel 2)");
}

TEST_F(C331Map, EveryRegisterBelongsToOneField) {
    const auto& map = sim::C331RegisterMap::instance();
    EXPECT_TRUE(map.conflicts().empty()) << map.conflicts().front();
    // The second byte of a multi-byte field lies in the field of its first.
    const auto place = map.find(0x16, 0x1E);
    ASSERT_NE(place.row, nullptr);
    EXPECT_EQ(place.fieldAddress, 0x1C);
    EXPECT_EQ(place.row->bytes, 4);
}

}  // namespace
