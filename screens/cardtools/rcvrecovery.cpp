#include "screens/cardtools/rcvrecovery.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "board/board.h"
#include "core/global.h"

rcvRecovery::rcvRecovery() = default;

rcvRecovery::~rcvRecovery() = default;

int rcvRecovery::check_file_dir(QString dir) {
    const std::string device = dir.toStdString();
    const std::filesystem::path path = board::path(device);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        if (debugOn())
            std::printf("\n %s exists !/n", device.c_str());
        return 0;
    }
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec) ? 0 : -1;
}
