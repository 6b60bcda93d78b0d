// The focus of a panel screen: its items in focus order, the index of the focused one
// (ui_select) and the style sheets the items swap as the focus moves.
#pragma once

#include <QString>
#include <utility>
#include <vector>

#include "core/types.h"

class QWidget;

struct FocusStyle {
    QString idle;
    QString focused;
    QString disabled;
    QString disabledFocused;
};

namespace focus_style {
// The hub buttons of the Setting menu and the Advanced Settings hub.
extern const FocusStyle hub;
// The Image-quality and Communication hubs, the serial-port page and the output menu.
extern const FocusStyle pair;
}  // namespace focus_style

class FocusRing {
public:
    void setStyle(const FocusStyle& style) { style_ = style; }
    // An item whose looks differ from the ring's (a field among buttons, the first octet
    // of an address row).
    void setItemStyle(QWidget* item, const FocusStyle& style);
    // Fills the items in focus order; item 0 becomes the focused one.
    void setItems(const std::vector<QWidget*>& items);
    // An unavailable item stays reachable but shows the disabled styles.
    void setAvailable(QWidget* item, bool available);
    bool available(int index) const;
    // Moves the focus by step items, wrapping around at both ends.
    void move(int step);
    void select(int index);

    u8 ui_select() const { return ui_select_; }
    QWidget* focused() const;
    QWidget* item(int index) const;
    int size() const { return static_cast<int>(items_.size()); }
    // Re-applies the style of every item (after a screen rebuilt its widgets' looks).
    void restyleAll();

private:
    void restyle(int index);

    const FocusStyle& styleOf(int index) const;

    FocusStyle style_ = focus_style::hub;
    std::vector<std::pair<QWidget*, FocusStyle>> itemStyles_;
    std::vector<QWidget*> items_;
    std::vector<bool> available_;
    u8 ui_select_ = 0;
};
