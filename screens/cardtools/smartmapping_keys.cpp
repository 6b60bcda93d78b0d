// The keys of the receiving-card set-up screen. The focus is either in the left column or
// inside the page of the column's item, and inside a page it walks that page's items;
// the port tiles, the routing chooser and the file list have their own cursor.
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <cstdio>

#include "fpga/send_para.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/cardtools/smartmapping_style.h"
#include "ui/QRoundProgressBar.h"
#include "ui/my_lineedit.h"

using namespace smartmapping_style;

namespace {

int wrap(int index, int count) {
    return (index % count + count) % count;
}

// A key line with one or two numbers, formatted by the C library as the shared key lines
// are.
void trace(const char* format, unsigned a, unsigned b = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b);
    qDebug("%s", line);
}

}  // namespace

void SmartMapping::mark(QWidget* item, bool focused) {
    if (!item)
        return;
    for (const auto& entry : kinds_) {
        if (entry.first != item)
            continue;
        const FocusStyle& style = entry.second == Kind::Field ? kField
                                  : entry.second == Kind::Tab ? kTab
                                                              : kButton;
        item->setStyleSheet(focused ? style.focused : style.idle);
        return;
    }
}

void SmartMapping::styleMain() {
    QAbstractButton* mains[] = {Button_shortcut_, Button_loadscan_, Button_paraweld_,
                                Button_mapping_};
    for (int i = 0; i < 4; ++i) {
        const bool here = i == main_index_;
        const bool available = i != kLoadScan || scan_present_ != 0;
        if (here && level_ == 1)
            mains[i]->setStyleSheet(kMainEntered);
        else if (available)
            mains[i]->setStyleSheet(here ? kMain.focused : kMain.idle);
        else
            mains[i]->setStyleSheet(here ? kMain.disabledFocused : kMain.disabled);
    }
}

std::vector<QWidget*> SmartMapping::step1Items() const {
    return {lineEdit_X_, lineEdit_Y_, Button_next_};
}

std::vector<QWidget*> SmartMapping::step2Items() const {
    return {tab(false), Button_front_2_, Button_next_2_};
}

std::vector<QWidget*> SmartMapping::step3Items() const {
    return {lineEdit_line_, lineEdit_column_, Button_route_, lineEdit_horzion_,
            lineEdit_vert_, Button_front_3_,  Button_send_};
}

std::vector<QWidget*> SmartMapping::fileItems() const {
    return {Button_front_6_, Button_load_};
}

void SmartMapping::moveItem(const std::vector<QWidget*>& items, u8* index, int direction) {
    mark(items[*index], false);
    *index = static_cast<u8>(wrap(*index + direction, static_cast<int>(items.size())));
    mark(items[*index], true);
}

u8 SmartMapping::tracedSelect() const {
    switch (state_) {
        case State::Main:
            return main_index_;
        case State::Step1:
            return step1_item_;
        case State::Step2:
            return step2_item_;
        case State::Step2Tiles:
        case State::LoadTiles:
            return tile_cursor_;
        case State::Step3:
            return step3_item_;
        case State::Routes:
            return route_cursor_;
        case State::LoadPort:
            return port_item_;
        case State::Files:
            return file_mode_ == 0 && total_count_ > 0 ? chosen_row_ : file_item_;
        default:
            return 0;
    }
}

void SmartMapping::traceKey(PanelKey key) {
    struct StepLines {
        State state;
        const char* left;
        const char* right;
    };
    static constexpr StepLines kStepLines[] = {
        {State::Step1, "this is shortcut_page1 left-code [smartmapping][Release],%#x\n",
         "this is shortcut_page1 right-code [smartmapping][Release],%#x\n"},
        {State::Step2, "this is shortcut_page2 left-code [smartmapping][Release],%#x\n",
         "this is shortcut_page2 right-code [smartmapping][Release],%#x\n"},
        {State::Step2Tiles,
         "this is shortcut_page2 net sel left-code [smartmapping][Release],%#x\n",
         "this is shortcut_page2 net sel right-code [smartmapping][Release],%#x\n"},
        {State::LoadPort, "this is load_scan_page1 left-code [smartmapping][Release],%#x\n",
         "this is load_scan_page1 right-code [smartmapping][Release],%#x\n"},
        {State::LoadTiles,
         "this is load_scan_page1 net sel left-code [smartmapping][Release],%#x\n",
         "this is load_scan_page1 net sel right-code [smartmapping][Release],%#x\n"},
    };
    switch (key) {
        case PanelKey::Left:
        case PanelKey::Right:
            for (const StepLines& lines : kStepLines)
                if (lines.state == state_)
                    return trace(key == PanelKey::Left ? lines.left : lines.right, tracedSelect());
            break;
        case PanelKey::Ok:
            qDebug("this is OK button(SmartMapping)[Release]\n");
            if (wizardStep() >= 0)
                trace("this is shortcut_page1 ok [smartmapping][Release],%#x,%#x\n",
                      static_cast<unsigned>(wizardStep()), tracedSelect());
            return;
        case PanelKey::Back:
            if (state_ == State::Step3) {
                qDebug("this is back page3 to page2");
                return;
            }
            break;
        case PanelKey::Mode:
            qDebug("this is mode-code [smartmapping][Release]");
            return;
        case PanelKey::None:
            break;
    }
    MenuScreen::traceKey(key);
}

// The wizard's step, 0 to 2 (the routing chooser is part of the third), -1 outside it.
int SmartMapping::wizardStep() const {
    switch (state_) {
        case State::Step1:
            return 0;
        case State::Step2:
        case State::Step2Tiles:
            return 1;
        case State::Step3:
        case State::Routes:
            return 2;
        default:
            return -1;
    }
}

// ---------------------------------------------------------------------------------------
// Left and Right.

void SmartMapping::step(int direction) {
    switch (state_) {
        case State::Main:
            stepMain(direction);
            break;
        case State::Step1:
        case State::Step2:
        case State::Step3:
        case State::Routes:
        case State::LoadPort:
            stepWizard(direction);
            break;
        case State::Step2Tiles:
            stepTiles(direction, false);
            break;
        case State::LoadTiles:
            stepTiles(direction, true);
            break;
        case State::Files:
            stepFiles(direction);
            break;
        default:
            break;
    }
}

// The page of the item reached is shown at once; Load scan is stepped over while there
// is no scan file to load.
void SmartMapping::stepMain(int direction) {
    int next = wrap(main_index_ + direction, 4);
    if (next == kLoadScan && scan_present_ == 0)
        next = wrap(next + direction, 4);
    main_index_ = static_cast<u8>(next);
    styleMain();
    switch (next) {
        case kWizard:
            on_Button_shortcut_clicked();
            break;
        case kLoadScan:
            on_Button_loadscan_clicked();
            break;
        case kCuring:
            on_Button_paraweld_clicked();
            break;
        default:
            on_Button_mapping_clicked();
            break;
    }
}

void SmartMapping::stepWizard(int direction) {
    switch (state_) {
        case State::Step1:
            moveItem(step1Items(), &step1_item_, direction);
            break;
        case State::Step2:
            moveItem(step2Items(), &step2_item_, direction);
            if (step2_item_ == 0)
                pressTab(false);
            break;
        case State::Step3:
            moveItem(step3Items(), &step3_item_, direction);
            break;
        case State::Routes: {
            std::vector<QWidget*> items(Button_routes_, Button_routes_ + kRoutes);
            items.push_back(Button_cancel_);
            moveItem(items, &route_cursor_, direction);
            break;
        }
        case State::LoadPort:
            moveItem({tab(true), Button_next_5_}, &port_item_, direction);
            if (port_item_ == 0)
                pressTab(true);
            break;
        default:
            break;
    }
}

// The cursor walks the tiles shown; the port under it is the port of the job at once.
void SmartMapping::stepTiles(int direction, bool load) {
    tile_cursor_ = static_cast<u8>(wrap(tile_cursor_ + direction, tileCount()));
    line_type.net_port = static_cast<u8>(port_group_ * 8 + tile_cursor_);
    wlan_init(pages_[load ? kPageLoadPort : kPageStep2]);
}

// ---------------------------------------------------------------------------------------
// OK.

void SmartMapping::keyOk() {
    switch (state_) {
        case State::Main:
            enterMain();
            break;
        case State::Step2Tiles:
        case State::LoadTiles: {
            const bool load = state_ == State::LoadTiles;
            if (auto* press = tiles_
                                  ? tiles_->findChild<QPushButton*>(QString::number(tile_cursor_))
                                  : nullptr)
                press->click();
            state_ = load ? State::LoadPort : State::Step2;
            break;
        }
        case State::Files:
            okFiles();
            break;
        case State::Curing:
            on_Button_confirm_clicked();
            break;
        case State::Mapping:
            Button_mapping_state_->click();
            break;
        default:
            okWizard();
            break;
    }
}

// Entering the page of the column's item. A page is not entered while a job runs: the
// pages lead to the posts that are refused meanwhile.
void SmartMapping::enterMain() {
    if (g_qround_bar)
        return;
    switch (main_index_) {
        case kWizard:
            on_Button_shortcut_clicked();
            level_ = 1;
            step1_item_ = 0;
            enterStep1();
            break;
        case kLoadScan:
            if (scan_present_ == 0)
                return;
            enterLoadScan();
            break;
        case kCuring:
            on_Button_paraweld_clicked();
            level_ = 1;
            state_ = State::Curing;
            mark(Button_confirm_, true);
            break;
        default:
            on_Button_mapping_clicked();
            level_ = 1;
            state_ = State::Mapping;
            mark(Button_mapping_state_, true);
            break;
    }
    styleMain();
}

void SmartMapping::okWizard() {
    switch (state_) {
        case State::Step1: {
            if (step1_item_ < 2) {
                auto* field = static_cast<My_lineEdit*>(step1Items()[step1_item_]);
                emit field->send_show(field->text());
                return;
            }
            on_Button_next_clicked();
            step2_item_ = 0;
            enterStep2();
            return;
        }
        case State::Step2:
            if (step2_item_ == 0) {
                saved_port_ = line_type.net_port;
                line_type.net_port = 0;
                pressTab(false);
                state_ = State::Step2Tiles;
            } else if (step2_item_ == 1) {
                on_Button_front_2_clicked();
                enterStep1();
            } else {
                on_Button_next_2_clicked();
                step3_item_ = 0;
                enterStep3();
            }
            return;
        case State::Step3:
            if (step3_item_ == 2) {
                openRoutes();
            } else if (step3_item_ == 5) {
                if (g_qround_bar)
                    return;
                on_Button_front_3_clicked();
                enterStep2();
            } else if (step3_item_ == 6) {
                on_Button_send_clicked();
            } else {
                auto* field = static_cast<My_lineEdit*>(step3Items()[step3_item_]);
                emit field->send_show(field->text());
            }
            return;
        case State::Routes:
            if (route_cursor_ < kRoutes)
                on_Button_route_n_clicked(route_cursor_ + 1);
            else
                on_Button_cancel_clicked();
            closeRoutes();
            return;
        case State::LoadPort:
            if (port_item_ == 0) {
                saved_port_ = line_type.net_port;
                pressTab(true);
                state_ = State::LoadTiles;
            } else {
                on_Button_next_5_clicked();
                enterFileList();
            }
            return;
        default:
            return;
    }
}

void SmartMapping::enterStep1() {
    state_ = State::Step1;
    for (QWidget* item : step1Items())
        mark(item, item == step1Items()[step1_item_]);
}

void SmartMapping::enterStep2() {
    state_ = State::Step2;
    for (QWidget* item : step2Items())
        mark(item, item == step2Items()[step2_item_]);
}

void SmartMapping::enterStep3() {
    state_ = State::Step3;
    for (QWidget* item : step3Items())
        mark(item, item == step3Items()[step3_item_]);
}

// The chooser opens with its cursor on the routing in use.
void SmartMapping::openRoutes() {
    on_Button_route_clicked();
    const int route = line_type.route_way;
    route_cursor_ = static_cast<u8>(route >= 1 && route <= kRoutes ? route - 1 : 0);
    for (int i = 0; i < kRoutes; ++i)
        mark(Button_routes_[i], i == route_cursor_);
    mark(Button_cancel_, false);
    state_ = State::Routes;
}

void SmartMapping::closeRoutes() {
    step3_item_ = 2;
    enterStep3();
}

// ---------------------------------------------------------------------------------------
// Back.

void SmartMapping::keyBack() {
    switch (state_) {
        case State::Main:
            Button_back_clicked();
            break;
        case State::Step1:
        case State::LoadPort:
        case State::Curing:
        case State::Mapping:
            backToMain();
            break;
        case State::Step2:
            on_Button_front_2_clicked();
            enterStep1();
            break;
        case State::Step2Tiles:
            line_type.net_port = saved_port_;
            state_ = State::Step2;
            pressTab(false);
            break;
        case State::Step3:
            // Like the page's own Previous, refused while the job that Send posted runs.
            if (g_qround_bar)
                return;
            on_Button_front_3_clicked();
            enterStep2();
            break;
        case State::Routes:
            on_Button_cancel_clicked();
            closeRoutes();
            break;
        case State::LoadTiles:
            // Back leaves the tiles without a choice: the port is the one before them.
            line_type.net_port = saved_port_;
            state_ = State::LoadPort;
            pressTab(true);
            break;
        case State::Files:
            backFiles();
            break;
    }
}

QWidget* SmartMapping::currentItem() const {
    switch (state_) {
        case State::Step1:
            return step1Items()[step1_item_];
        case State::Step2:
        case State::Step2Tiles:
            return step2Items()[step2_item_];
        case State::Step3:
            return step3Items()[step3_item_];
        case State::Routes:
            return route_cursor_ < kRoutes ? static_cast<QWidget*>(Button_routes_[route_cursor_])
                                           : Button_cancel_;
        case State::LoadPort:
        case State::LoadTiles:
            return port_item_ == 0 ? static_cast<QWidget*>(tab(true)) : Button_next_5_;
        case State::Files:
            return fileItems()[file_item_];
        case State::Curing:
            return Button_confirm_;
        case State::Mapping:
            return Button_mapping_state_;
        default:
            return nullptr;
    }
}

// The focus leaves the page for the left column; the page stays shown.
void SmartMapping::leavePage() {
    mark(currentItem(), false);
    level_ = 0;
    state_ = State::Main;
}

void SmartMapping::backToMain() {
    leavePage();
    styleMain();
}
