// Base of every test that touches the board: a fresh root folder and a fresh board.
#pragma once

#include <gtest/gtest.h>

#include <QJsonObject>
#include <string>
#include <vector>

namespace test {

// TearDown expects that no part of the board saw an access its interface refuses (its
// protocol-error list); a test that provokes errors on purpose checks and clears them
// (sim::clearAllProtocolErrors) before it ends.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The root folder of this test's simulated file system.
    const std::string& root() const { return root_; }
    // A device path under the root ("/data/x" -> "<root>/data/x").
    std::string rooted(const std::string& devicePath) const;
    // Whole contents of a file of the device, or empty when missing.
    std::vector<unsigned char> readFile(const std::string& devicePath) const;
    void writeFile(const std::string& devicePath, const std::vector<unsigned char>& bytes) const;
    bool exists(const std::string& devicePath) const;
    // Every part's protocol errors, listed in the failure; TearDown runs it.
    void expectNoProtocolErrors();

private:
    std::string root_;
};

// Runs the Qt event loop until pred() is true or timeoutMs passes; returns pred().
template <class Pred>
bool waitFor(Pred pred, int timeoutMs = 2000);

}  // namespace test

#include "tests/support/sim_test_wait.h"
