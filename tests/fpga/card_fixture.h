// FPGA 0 running with chains of receiving cards on its output ports: the frames the
// ports carried, the cards' state, and the progress a job reports to its screen.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "board/sim/output_ports.h"
#include "fpga/send_para.h"
#include "tests/fpga/fpga_fixture.h"

namespace fpgatest {

class CardTest : public FpgaTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<sim::OutputPorts> ports() { return fpga()->ports(); }
    // Cards per port (0-based); those ports have a link, every other port none.
    void plug(const std::map<int, int>& cards);
    // Brings FPGA 0 to output running and runs the card search until every plugged port's
    // count is known (two search cycles: even and odd ports).
    void bringUpAndSearch();
    // Passes until one more search cycle has started (g_change word 8 moved on).
    void searchCycle();
    // Passes one tick apart, noting the tick at which each frame left.
    void run(int passes = 1);
    template <class Pred>
    bool runTill(Pred pred, int maxPasses = 20000) {
        for (int i = 0; i < maxPasses && !pred(); ++i)
            run();
        return pred();
    }
    // Posts a job and runs passes until it has ended; false when it did not end.
    bool runJob(u8 job, int maxPasses = 20000);

    struct SentFrame {
        u32 tick;
        Bytes frame;
    };
    // Forgets the frames the ports carried so far.
    void forgetSent();
    // Frames put on a port, in order.
    std::vector<SentFrame> sentOn(int port);
    sim::ReceivingCard card(int port, int index) { return ports()->card(port, index); }
    // An answer as a card would send it: the check byte is set.
    static Bytes sealed(Bytes frame);
    // Every protocol error of the board, one per line.
    static std::string boardErrors();

    std::vector<int> progress;
    std::vector<u32> progressTicks;

private:
    void note();
    std::vector<u32> sentTicks;  // per entry of the ports' log
};

}  // namespace fpgatest
