#include "tests/fpga/card_fixture.h"

#include "board/sim/sim.h"
#include "core/utils.h"

namespace fpgatest {

void CardTest::SetUp() {
    FpgaTest::SetUp();
    for (std::atomic<u16>* field :
         {&line_type.box_width, &line_type.box_height, &line_type.h_offset, &line_type.v_offset})
        field->store(0);
    for (std::atomic<u8>* field :
         {&line_type.net_port, &line_type.box_rows, &line_type.box_columns, &line_type.route_way})
        field->store(0);
    card_job_progress_connect(CardJobScreen::SmartMapping, [this](int value) {
        progress.push_back(value);
        progressTicks.push_back(G_timeTicks);
    });
}

void CardTest::TearDown() {
    card_job_progress_connect(CardJobScreen::SmartMapping, {});
    FpgaTest::TearDown();
}

void CardTest::plug(const std::map<int, int>& cards) {
    uint16_t links = 0;
    for (int port = 0; port < sim::OutputPorts::kPorts; ++port) {
        auto found = cards.find(port);
        ports()->setCards(port, found == cards.end() ? 0 : found->second);
        if (found != cards.end())
            links = static_cast<uint16_t>(links | 1u << port);
    }
    fpga()->setLinks(links);
}

void CardTest::bringUpAndSearch() {
    ASSERT_TRUE(bringUp());
    searchCycle();
    searchCycle();
    run(2);  // the answers of the second cycle
}

void CardTest::searchCycle() {
    const u32 cycle = g_change[8];
    ASSERT_TRUE(runTill([cycle] { return g_change[8] != cycle; }, 200));
}

void CardTest::note() {
    const size_t n = ports()->sent().size();
    while (sentTicks.size() < n)
        sentTicks.push_back(G_timeTicks);
}

void CardTest::run(int passes) {
    note();
    for (int i = 0; i < passes; ++i) {
        ++G_timeTicks;
        manager->fpga_manage_deal();
        note();
    }
}

bool CardTest::runJob(u8 job, int maxPasses) {
    send_para_post(job);
    return runTill([] { return send_para_job() == 0; }, maxPasses);
}

void CardTest::forgetSent() {
    ports()->clearSent();
    sentTicks.clear();
}

std::vector<CardTest::SentFrame> CardTest::sentOn(int port) {
    note();
    std::vector<SentFrame> out;
    auto sent = ports()->sent();
    for (size_t i = 0; i < sent.size(); ++i)
        if (sent[i].port == port)
            out.push_back({sentTicks[i], sent[i].frame});
    return out;
}

Bytes CardTest::sealed(Bytes frame) {
    frame.back() = Utils::BCC(frame.data(), static_cast<unsigned>(frame.size() - 1));
    return frame;
}

std::string CardTest::boardErrors() {
    std::string all;
    for (const std::string& e : sim::allProtocolErrors())
        all += e + "\n";
    return all;
}

}  // namespace fpgatest
