// Reader of the receiving-card recovery packages ("/data/rcvrecovery") and scan-parameter
// files ("/data/smartmapping"). The FPGA manager owns one for the life of the process and
// its jobs read the files through it.
#pragma once

#include <QString>
#include <QStringList>

class rcvRecovery {
public:
    rcvRecovery();
    ~rcvRecovery();
    rcvRecovery(const rcvRecovery&) = delete;
    rcvRecovery& operator=(const rcvRecovery&) = delete;

    // Creates the device directory dir when it is missing. 0 when it exists afterwards,
    // -1 when it could not be created.
    int check_file_dir(QString dir);

    QStringList file_list;
    QString file_name;
};
