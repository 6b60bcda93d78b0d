#include "ui/focusring.h"

#include <QWidget>

namespace focus_style {
const FocusStyle hub = {
    "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px "
    "4px;color:rgb(255,255,255)",
    "background-color: rgb(33, 36, 53); border:2px solid "
    "rgb(255,171,84);border-radius:10px;padding:2px 4px;color:rgb(255,255,255)",
    "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)",
    "background-color: gray; border:2px solid rgb(255,171,84);border-radius:10px;padding:2px "
    "4px;color:rgb(255,255,255)",
};
const FocusStyle pair = {
    "color:rgb(255,255,255);background-color: rgb(33, 36, 53) ; border:2px "
    ";border-radius:10px;padding:2px 4px",
    "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:2px solid "
    "rgb(255,171,84);border-radius:10px;padding:2px 4px",
    "color:rgb(255,255,255);background-color: gray; border:2px ;border-radius:10px;padding:2px "
    "4px",
    "color:rgb(255,255,255);background-color: gray; border:2px solid "
    "rgb(255,171,84);border-radius:10px;padding:2px 4px",
};
}  // namespace focus_style

void FocusRing::setItems(const std::vector<QWidget*>& items) {
    items_ = items;
    available_.assign(items_.size(), true);
    ui_select_ = 0;
    restyleAll();
}

void FocusRing::setItemStyle(QWidget* item, const FocusStyle& style) {
    for (auto& entry : itemStyles_) {
        if (entry.first == item) {
            entry.second = style;
            restyleAll();
            return;
        }
    }
    itemStyles_.emplace_back(item, style);
    restyleAll();
}

const FocusStyle& FocusRing::styleOf(int index) const {
    for (const auto& entry : itemStyles_)
        if (entry.first == items_[index])
            return entry.second;
    return style_;
}

void FocusRing::setAvailable(QWidget* item, bool available) {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] != item)
            continue;
        available_[i] = available;
        restyle(static_cast<int>(i));
    }
}

bool FocusRing::available(int index) const {
    return index >= 0 && index < size() && available_[index];
}

void FocusRing::move(int step) {
    if (items_.empty())
        return;
    const int n = size();
    select(((ui_select_ + step) % n + n) % n);
}

void FocusRing::select(int index) {
    if (index < 0 || index >= size())
        return;
    const int old = ui_select_;
    ui_select_ = static_cast<u8>(index);
    restyle(old);
    restyle(index);
}

QWidget* FocusRing::focused() const {
    return item(ui_select_);
}

QWidget* FocusRing::item(int index) const {
    return index >= 0 && index < size() ? items_[index] : nullptr;
}

void FocusRing::restyleAll() {
    for (int i = 0; i < size(); ++i)
        restyle(i);
}

void FocusRing::restyle(int index) {
    if (index < 0 || index >= size())
        return;
    const bool focused = index == ui_select_;
    const FocusStyle& style = styleOf(index);
    const QString& sheet = available_[index] ? (focused ? style.focused : style.idle)
                                             : (focused ? style.disabledFocused : style.disabled);
    items_[index]->setStyleSheet(sheet);
}
