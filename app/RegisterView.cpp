#include "RegisterView.h"

#include "LivePoller.h"
#include "ModbusClient.h"

#include <QBrush>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using Kind = RegisterTable::Kind;
using Format = RegisterTable::Format;

enum Column { AddressColumn, ValueColumn, ErrorColumn };

bool isPaired(Format format)
{
    return format == Format::Int32HighFirst || format == Format::Int32LowFirst;
}

} // namespace

RegisterView::RegisterView(ModbusClient *client, const Link &link, QWidget *parent)
    : QDialog(parent)
    , m_client(client)
{
    setWindowTitle(tr("Register View"));
    resize(560, 600);
    createUi(link.node);
    if (!m_client || !m_client->isConnected()) {
        m_ownClient = new ModbusClient(this);
        m_client = m_ownClient;
        if (link.port.isEmpty()) {
            m_status->setText(tr("Choose a port in the main window first."));
        } else if (!m_ownClient->connect(link.port, link.baudRate, link.parity, 8, 1, link.node)) {
            m_status->setText(
                tr("Could not open %1: %2").arg(link.port, m_ownClient->lastErrorReason()));
        } else {
            m_status->setText(tr("Port %1 opened at %2 baud, parity %3.")
                                  .arg(link.port)
                                  .arg(link.baudRate)
                                  .arg(QChar::fromLatin1(link.parity)));
        }
    }
    m_poller = new LivePoller(
        m_client, 1000,
        [this](const LivePoller::StillWanted &stillWanted) {
            const quint64 generation = m_table.generation();
            const bool read = m_table.read(m_client, m_nodeSpin->value());
            if (!stillWanted())
                return read;
            showTable();
            // The range changed while this read waited: the new one is read next.
            if (generation != m_table.generation())
                QTimer::singleShot(0, this, [this] { readTable(false); });
            return read;
        },
        this);
    onRangeChanged();
}

RegisterView::~RegisterView()
{
    m_poller->stop();
    if (m_ownClient)
        m_ownClient->disconnect();
}

void RegisterView::createUi(int node)
{
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    m_nodeSpin = new QSpinBox;
    m_nodeSpin->setObjectName(QStringLiteral("viewNodeSpin"));
    m_nodeSpin->setRange(1, 247);
    m_nodeSpin->setValue(node);
    form->addRow(tr("Node:"), m_nodeSpin);
    m_kindCombo = new QComboBox;
    m_kindCombo->setObjectName(QStringLiteral("kindCombo"));
    m_kindCombo->addItem(tr("Holding registers (03)"), int(Kind::HoldingRegisters));
    m_kindCombo->addItem(tr("Input registers (04)"), int(Kind::InputRegisters));
    m_kindCombo->addItem(tr("Coils (01)"), int(Kind::Coils));
    m_kindCombo->addItem(tr("Discrete inputs (02)"), int(Kind::DiscreteInputs));
    form->addRow(tr("Table:"), m_kindCombo);
    auto *range = new QHBoxLayout;
    m_startSpin = new QSpinBox;
    m_startSpin->setObjectName(QStringLiteral("startSpin"));
    m_startSpin->setRange(0, 65535);
    range->addWidget(m_startSpin);
    range->addWidget(new QLabel(tr("Count:")));
    m_countSpin = new QSpinBox;
    m_countSpin->setObjectName(QStringLiteral("countSpin"));
    m_countSpin->setRange(1, RegisterTable::maxCount(Kind::HoldingRegisters));
    m_countSpin->setValue(10);
    range->addWidget(m_countSpin);
    range->addStretch();
    form->addRow(tr("Start address:"), range);
    m_formatCombo = new QComboBox;
    m_formatCombo->setObjectName(QStringLiteral("formatCombo"));
    m_formatCombo->addItem(tr("Unsigned"), int(Format::Unsigned));
    m_formatCombo->addItem(tr("Signed"), int(Format::Signed));
    m_formatCombo->addItem(tr("Hex"), int(Format::Hex));
    m_formatCombo->addItem(tr("32-bit, high word first"), int(Format::Int32HighFirst));
    m_formatCombo->addItem(tr("32-bit, low word first"), int(Format::Int32LowFirst));
    form->addRow(tr("Format:"), m_formatCombo);
    auto *pollRow = new QHBoxLayout;
    m_pollCombo = new QComboBox;
    m_pollCombo->setObjectName(QStringLiteral("pollCombo"));
    m_pollCombo->addItem(tr("Off"), 0);
    for (int ms : {100, 250, 500})
        m_pollCombo->addItem(tr("%1 ms").arg(ms), ms);
    for (int s : {1, 2, 5, 10})
        m_pollCombo->addItem(tr("%1 s").arg(s), s * 1000);
    pollRow->addWidget(m_pollCombo);
    auto *readButton = new QPushButton(tr("Read"));
    readButton->setObjectName(QStringLiteral("readButton"));
    readButton->setAutoDefault(false);
    pollRow->addWidget(readButton);
    pollRow->addStretch();
    form->addRow(tr("Poll:"), pollRow);
    layout->addLayout(form);

    m_grid = new QTableWidget(0, 3);
    m_grid->setObjectName(QStringLiteral("registerGrid"));
    m_grid->setHorizontalHeaderLabels({tr("Address"), tr("Value"), tr("Error")});
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_grid, 1);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    for (QSpinBox *spin : {m_startSpin, m_countSpin})
        connect(spin, &QSpinBox::editingFinished, this, &RegisterView::onRangeChanged);
    connect(m_kindCombo, &QComboBox::currentIndexChanged, this, &RegisterView::onRangeChanged);
    connect(m_formatCombo, &QComboBox::currentIndexChanged, this, &RegisterView::showTable);
    connect(m_pollCombo, &QComboBox::currentIndexChanged, this, &RegisterView::onPollChanged);
    connect(readButton, &QPushButton::clicked, this, [this] { readTable(true); });
    connect(m_grid, &QTableWidget::itemChanged, this, &RegisterView::onItemChanged);
}

bool RegisterView::isOnline() const
{
    return m_client && m_client->isConnected();
}

RegisterTable::Format RegisterView::format() const
{
    // Bits have no word format.
    if (RegisterTable::isBits(m_table.kind()))
        return Format::Unsigned;
    return Format(m_formatCombo->currentData().toInt());
}

void RegisterView::onRangeChanged()
{
    const auto kind = Kind(m_kindCombo->currentData().toInt());
    m_countSpin->setMaximum(RegisterTable::maxCount(kind));
    m_formatCombo->setEnabled(!RegisterTable::isBits(kind));
    m_table.setRange(kind, quint16(m_startSpin->value()), m_countSpin->value());
    showTable();
    readTable(false);
}

void RegisterView::onPollChanged()
{
    const int interval = m_pollCombo->currentData().toInt();
    if (interval <= 0) {
        m_poller->stop();
        return;
    }
    m_poller->setInterval(interval);
    m_poller->start();
}

bool RegisterView::readTable(bool reportOffline)
{
    if (!isOnline()) {
        if (reportOffline)
            m_status->setText(tr("Not connected: close the view and connect again."));
        return false;
    }
    return m_poller->tickNow();
}

void RegisterView::showTable()
{
    const Format shown = format();
    const QStringList texts = RegisterTable::format(m_table.values(), shown);
    const int step = isPaired(shown) ? 2 : 1;
    const bool editable = RegisterTable::isWritable(m_table.kind()) && step == 1;
    m_filling = true;
    m_grid->setRowCount(int(texts.size()));
    for (int row = 0; row < texts.size(); ++row) {
        const int index = row * step;
        const int address = m_table.start() + index;
        const QString where = step == 1 ? QString::number(address)
                                        : QStringLiteral("%1-%2").arg(address).arg(address + 1);
        bool valid = true;
        QString error;
        for (int i = index; i < index + step; ++i) {
            valid = valid && m_table.hasValue(i);
            if (error.isEmpty())
                error = m_table.error(i);
        }
        const QString cells[] = {where, valid ? texts.at(row) : QString(), error};
        for (int column = AddressColumn; column <= ErrorColumn; ++column) {
            QTableWidgetItem *item = m_grid->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_grid->setItem(row, column, item);
            }
            // A cell being edited keeps what the user types.
            if (!(column == ValueColumn && m_grid->isPersistentEditorOpen(item)))
                item->setText(cells[column]);
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (column == ValueColumn && editable)
                flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            if (column == ErrorColumn)
                item->setForeground(QBrush(Qt::red));
        }
    }
    m_filling = false;
}

void RegisterView::onItemChanged(QTableWidgetItem *item)
{
    if (m_filling || item->column() != ValueColumn)
        return;
    const int index = item->row();
    quint16 value = 0;
    const bool bit = m_table.kind() == Kind::Coils;
    const QString text = item->text().trimmed();
    bool valid = RegisterTable::parse(text, bit ? Format::Unsigned : format(), value);
    valid = valid && (!bit || value <= 1);
    if (!valid) {
        m_status->setText(
            tr("\"%1\" is not a value for address %2.").arg(text).arg(m_table.start() + index));
    } else if (!isOnline()) {
        m_status->setText(tr("Not connected: close the view and connect again."));
    } else if (m_table.write(m_client, m_nodeSpin->value(), index, value)) {
        m_status->setText(tr("Wrote %1 to address %2.").arg(text).arg(m_table.start() + index));
    } else {
        m_status->setText(tr("Address %1 was not written: %2")
                              .arg(m_table.start() + index)
                              .arg(m_table.error(index)));
    }
    showTable();
}
