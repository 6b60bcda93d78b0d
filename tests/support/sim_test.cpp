#include "tests/support/sim_test.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/sim/sim.h"

namespace test {

void SimTest::SetUp() {
    std::string base = std::filesystem::temp_directory_path() / "krx-test-XXXXXX";
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    root_ = name.data();
    sim::reset();
    sim::clearAllProtocolErrors();
    sim::setScene(QJsonObject());
    sim::setRoot(root_);
}

void SimTest::TearDown() {
    expectNoProtocolErrors();
    sim::reset();
    sim::clearAllProtocolErrors();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

void SimTest::expectNoProtocolErrors() {
    constexpr size_t kShown = 20;
    const std::vector<std::string> errors = sim::allProtocolErrors();
    std::string list;
    for (size_t i = 0; i < errors.size() && i < kShown; ++i)
        list += "\n  " + errors[i];
    if (errors.size() > kShown)
        list += "\n  ... " + std::to_string(errors.size() - kShown) + " more";
    EXPECT_TRUE(errors.empty()) << errors.size() << " protocol errors on the board:" << list;
}

std::string SimTest::rooted(const std::string& devicePath) const {
    return root_ + devicePath;
}

std::vector<unsigned char> SimTest::readFile(const std::string& devicePath) const {
    std::ifstream in(rooted(devicePath), std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

void SimTest::writeFile(const std::string& devicePath,
                        const std::vector<unsigned char>& bytes) const {
    std::filesystem::path file = rooted(devicePath);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool SimTest::exists(const std::string& devicePath) const {
    return std::filesystem::exists(rooted(devicePath));
}

}  // namespace test
