// The screens' own signals, as other code connects to them by name: the job screens offer
// their progress, the LED size screen a plain clicked(), and no other screen has any.
#include <gtest/gtest.h>

#include <QDialog>
#include <QMetaMethod>
#include <QMetaObject>
#include <string>
#include <vector>

#include "screens/cardtools/rcv_recovery.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/maintenance/factory.h"
#include "screens/maintenance/factoryage.h"
#include "screens/maintenance/firmware_usbgrade.h"
#include "screens/maintenance/lcdshow.h"
#include "screens/maintenance/othersetup.h"
#include "screens/maintenance/test_chart.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/ledset.h"
#include "screens/settings/linkcom.h"
#include "screens/settings/linkoption.h"
#include "screens/settings/linkwlan.h"
#include "screens/settings/machinestate.h"
#include "screens/settings/netset.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"

namespace {

// The signals a class declares below QDialog, by their normalised signatures.
std::vector<std::string> ownSignals(const QMetaObject& meta) {
    std::vector<std::string> out;
    for (int i = QDialog::staticMetaObject.methodCount(); i < meta.methodCount(); ++i) {
        QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Signal)
            out.push_back(method.methodSignature().toStdString());
    }
    return out;
}

using Signals = std::vector<std::string>;

TEST(ScreenSignals, OnlyTheJobScreensAndTheLedSizeDeclareSignals) {
    EXPECT_EQ(ownSignals(SmartMapping::staticMetaObject), Signals{"sig_qround_bar_update(int)"});
    EXPECT_EQ(ownSignals(rcv_recovery::staticMetaObject), Signals{"sig_qround_bar_update(int)"});
    EXPECT_EQ(ownSignals(firmware_usbgrade::staticMetaObject),
              Signals{"sig_qround_bar_update(int)"});
    EXPECT_EQ(ownSignals(ledset::staticMetaObject), Signals{"clicked()"});

    const QMetaObject* silent[] = {
        &AdvancedOption::staticMetaObject, &ImageQuality::staticMetaObject,
        &LinkOption::staticMetaObject,     &MachineState::staticMetaObject,
        &quality::staticMetaObject,        &temperature::staticMetaObject,
        &linkwlan::staticMetaObject,       &netset::staticMetaObject,
        &linkcom::staticMetaObject,        &factory::staticMetaObject,
        &factoryage::staticMetaObject,     &othersetup::staticMetaObject,
        &test_chart::staticMetaObject,     &lcdshow::staticMetaObject,
    };
    for (const QMetaObject* meta : silent)
        EXPECT_EQ(ownSignals(*meta), Signals{}) << meta->className();
}

}  // namespace
