// Base of the receiving-card tool screens' tests: the settings-screen panel with FPGA 0
// running and chains of receiving cards on its output ports, the start gate open (the
// FPGA thread would run its passes), and the FPGA passes run by the test while a screen's
// modal loop runs.
#pragma once

#include <map>
#include <vector>

#include "board/sim/output_ports.h"
#include "tests/ui/settings_test.h"

namespace test {

class CardToolsTest : public SettingsTest {
protected:
    void TearDown() override;

    // Cards per port (0-based); those ports have a link. Brings FPGA 0 up and runs the
    // card search until every plugged port's count is known.
    void startCards(const std::map<int, int>& cards);
    std::shared_ptr<sim::OutputPorts> ports() { return fpga()->ports(); }
    sim::ReceivingCard card(int port, int index) { return ports()->card(port, index); }
    // Runs FPGA passes (a few per call) until the posted job has ended and its bar has
    // closed; a condition for PanelScript::waitUntil.
    bool jobOver();
};

// The frames a card took with this opcode (byte 9).
std::vector<std::vector<uint8_t>> framesWith(const sim::ReceivingCard& card, uint8_t opcode);

// x and y that a position packet (write RAM at 0x180, 4 bytes) gives a card; {-1, -1}
// when the card took none.
struct Position {
    int x, y;
    bool operator==(const Position& o) const { return x == o.x && y == o.y; }
};
Position positionOf(const sim::ReceivingCard& card);
std::ostream& operator<<(std::ostream& out, const Position& p);

}  // namespace test
