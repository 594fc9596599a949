#pragma once

#include "ConfigurationTransfer.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QTableWidget;

// A configuration file beside the device, field by field, differing rows marked. To
// compare it only shows; to restore it asks, and tells whether to apply the file's line
// setting as well.
class ConfigurationCompareDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { Compare, Restore };

    ConfigurationCompareDialog(Mode mode, const ConfigurationFile &file,
                               const QList<ConfigurationTransfer::Row> &rows,
                               QWidget *parent = nullptr);

    bool applySerial() const;
    static int differences(const QList<ConfigurationTransfer::Row> &rows);

private:
    QTableWidget *m_table = nullptr;
    QCheckBox *m_applySerialCheck = nullptr;
};
