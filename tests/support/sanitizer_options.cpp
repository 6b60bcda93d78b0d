// Leaks of the Qt platform plugins and font libraries that live as long as the process;
// they are not the program's. Built into every test program so that discovery at build
// time and every test run use the same rules.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n"
           "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
