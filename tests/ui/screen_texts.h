// A screen's texts in simplified Chinese, English, Russian, Vietnamese and traditional
// Chinese, and how a test opens the screen, shared by the screen-text tests.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

namespace test {

struct Texts {
    const char* object;
    const char* text[5];
};

struct Screen {
    const char* name;
    std::function<QWidget*()> open;
    std::vector<Texts> texts;
};

// Opens a screen as its menu does: a new one held in its global.
template <class T>
std::function<QWidget*()> opener(T*& global) {
    return [&global]() -> QWidget* {
        global = new T(nullptr);
        return global;
    };
}

}  // namespace test
