// The program: start-up in the device's order, then the user interface's event loop until
// the device restarts. Should the loop end, the worker threads are stopped before the
// process's static objects go.
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "screens/screen_hooks.h"
#include "ui/startup.h"

namespace {

// The command line, with the platform this build needs when none was chosen.
std::vector<char*> withPlatform(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    bool chosen = std::getenv("QT_QPA_PLATFORM") != nullptr;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            chosen = true;
    static char option[] = "-platform";
    static std::string platform = board::defaultPlatform();
    if (!chosen) {
        args.push_back(option);
        args.push_back(platform.data());
    }
    args.push_back(nullptr);
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    board::programStarting();
    install_hooks();
    startup::beforeApplication();
    static std::vector<char*> args = withPlatform(argc, argv);
    static int count = static_cast<int>(args.size()) - 1;
    QApplication app(count, args.data());
    startup::afterApplication();
    const int result = app.exec();
    startup::stopThreads();
    return result;
}
