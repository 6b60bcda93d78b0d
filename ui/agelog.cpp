#include "ui/agelog.h"

#include <QStringList>

#include "core/global.h"
#include "fpga/fpga_manage.h"

namespace {

AgeLogSource& source() {
    static AgeLogSource s;
    return s;
}

int counterField(const QString& line) {
    const QStringList fields = line.split(' ');
    return fields.size() > 2 ? fields[2].toInt() : 0;
}

void countAdvance() {
    if (factoryage_log.size() < 2)
        return;
    const int last = counterField(factoryage_log[factoryage_log.size() - 1]);
    const int previous = counterField(factoryage_log[factoryage_log.size() - 2]);
    int d = last - previous;
    if (previous > last)
        d += 256;
    if (d >= 20)
        ++factoryage_log_diffmore;
    else if (d >= 10)
        ++factoryage_log_diff20;
    else if (d >= 5)
        ++factoryage_log_diff10;
    else if (d >= 3)
        ++factoryage_log_diff5;
    else if (d >= 1)
        ++factoryage_log_diff3;
}

}  // namespace

void setAgeLogSource(AgeLogSource s) {
    source() = std::move(s);
}

void installFpgaAgeLogSource() {
    setAgeLogSource({
        [] {
            fpga_manage* manager = fpga_manage::p_fpga_manage;
            return manager && manager->get_fpga_status();
        },
        [] {
            AgeLogRegisters registers{};
            fpga_manage* manager = fpga_manage::p_fpga_manage;
            if (!manager)
                return registers;
            for (u8 reg : {u8{40}, u8{42}, u8{43}})
                manager->read_from_register(reg, 0);
            registers.reg40 = fpga_manage::MCU_REG_func[0][40].load();
            registers.reg42 = fpga_manage::MCU_REG_func[0][42].load();
            registers.reg43 = fpga_manage::MCU_REG_func[0][43].load();
            return registers;
        },
    });
}

const AgeLogSource& ageLogSource() {
    return source();
}

void appendAgeLogLine(const QString& time, const AgeLogRegisters& registers) {
    factoryage_log.push_back(time + ' ' + QString::number(registers.reg42) + ' ' +
                             QString::number(registers.reg40) + ' ' +
                             QString::number(registers.reg43));
    if (factoryage_log.size() > kAgeLogLines)
        factoryage_log.erase(factoryage_log.begin());
    factoryage_log_num = static_cast<int>(factoryage_log.size());
    countAdvance();
}
