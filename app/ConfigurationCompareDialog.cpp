#include "ConfigurationCompareDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

ConfigurationCompareDialog::ConfigurationCompareDialog(
    Mode mode, const ConfigurationFile &file, const QList<ConfigurationTransfer::Row> &rows,
    QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(mode == Mode::Restore ? tr("Restore from File") : tr("Compare with File"));
    resize(640, 520);
    auto *layout = new QVBoxLayout(this);

    const int differing = differences(rows);
    QString summary =
        tr("File: %1 (firmware %2), saved %3.")
            .arg(file.deviceName,
                 file.firmwareVersion.isEmpty() ? QStringLiteral("-") : file.firmwareVersion,
                 QLocale().toString(file.savedAt.toLocalTime(), QLocale::ShortFormat));
    if (!file.note.isEmpty())
        summary += QLatin1Char('\n') + tr("Note: %1").arg(file.note);
    summary += QLatin1Char('\n')
        + (differing == 0 ? tr("The device holds the file's settings.")
                          : tr("Fields that differ from the file: %1.").arg(differing));
    auto *summaryLabel = new QLabel(summary, this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel->setWordWrap(true);
    layout->addWidget(summaryLabel);

    m_table = new QTableWidget(int(rows.size()), 3, this);
    m_table->setObjectName(QStringLiteral("compareTable"));
    m_table->setHorizontalHeaderLabels({tr("Field"), tr("Device"), tr("File")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    QFont bold = m_table->font();
    bold.setBold(true);
    for (int r = 0; r < rows.size(); ++r) {
        const ConfigurationTransfer::Row &row = rows.at(r);
        const QString field = row.isSerial ? tr("%1 (line setting)").arg(row.label) : row.label;
        const QStringList texts = {field, ConfigurationTransfer::valueText(row, row.device),
                                   ConfigurationTransfer::valueText(row, row.file)};
        for (int c = 0; c < 3; ++c) {
            auto *item = new QTableWidgetItem(texts.at(c));
            if (row.differs) {
                item->setFont(bold);
                item->setBackground(QColor(255, 220, 200));
            } else if (row.device != row.file) {
                item->setForeground(Qt::darkGray); // a line setting that is kept
            }
            m_table->setItem(r, c, item);
        }
    }
    layout->addWidget(m_table, 1);

    auto *onlyDifferingCheck = new QCheckBox(tr("Show only the fields that differ"), this);
    onlyDifferingCheck->setObjectName(QStringLiteral("onlyDifferingCheck"));
    connect(onlyDifferingCheck, &QCheckBox::toggled, this, [this, rows](bool only) {
        for (int r = 0; r < rows.size(); ++r)
            m_table->setRowHidden(r, only && !rows.at(r).differs);
    });
    onlyDifferingCheck->setChecked(differing > 0);
    layout->addWidget(onlyDifferingCheck);

    auto *buttons = new QDialogButtonBox(this);
    if (mode == Mode::Restore) {
        m_applySerialCheck =
            new QCheckBox(tr("Also apply the file's node address, baud rate and parity"), this);
        m_applySerialCheck->setObjectName(QStringLiteral("applySerialCheck"));
        m_applySerialCheck->setToolTip(
            tr("Leave this off when the file goes to several devices on one line: they "
               "would all take the same node address."));
        layout->addWidget(m_applySerialCheck);
        QPushButton *restore =
            buttons->addButton(tr("Restore and Save to Flash"), QDialogButtonBox::AcceptRole);
        restore->setObjectName(QStringLiteral("restoreButton"));
        buttons->addButton(QDialogButtonBox::Cancel);
    } else {
        buttons->addButton(QDialogButtonBox::Close);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool ConfigurationCompareDialog::applySerial() const
{
    return m_applySerialCheck && m_applySerialCheck->isChecked();
}

int ConfigurationCompareDialog::differences(const QList<ConfigurationTransfer::Row> &rows)
{
    return int(std::count_if(rows.begin(), rows.end(),
                             [](const ConfigurationTransfer::Row &row) { return row.differs; }));
}
