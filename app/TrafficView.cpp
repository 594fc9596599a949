#include "TrafficView.h"

#include "ExchangeFormatter.h"
#include "TrafficLog.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString visibleKey = QStringLiteral("window/trafficVisible");

QSortFilterProxyModel *roleFilter(int role, QObject *parent)
{
    auto *proxy = new QSortFilterProxyModel(parent);
    proxy->setFilterRole(role);
    proxy->setFilterKeyColumn(0);
    return proxy;
}

} // namespace

TrafficView::TrafficView(TrafficLog *log, QWidget *parent)
    : QDockWidget(tr("Traffic"), parent)
    , m_log(log)
    , m_byResult(roleFilter(TrafficLog::ResultRole, this))
    , m_byFunction(roleFilter(TrafficLog::FunctionRole, this))
{
    setObjectName(QStringLiteral("trafficView"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    auto *controls = new QHBoxLayout;

    m_resultFilter = new QComboBox(body);
    m_resultFilter->setObjectName(QStringLiteral("resultFilter"));
    m_resultFilter->addItem(tr("All results"), -1);
    for (int r = int(ModbusExchange::Result::Ok); r <= int(ModbusExchange::Result::PortLost); ++r)
        m_resultFilter->addItem(ExchangeFormatter::resultName(ModbusExchange::Result(r)), r);
    m_functionFilter = new QComboBox(body);
    m_functionFilter->setObjectName(QStringLiteral("functionFilter"));
    m_functionFilter->addItem(tr("All functions"), -1);
    for (int code : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0F, 0x10})
        m_functionFilter->addItem(ExchangeFormatter::function(quint8(code)), code);
    connect(m_resultFilter, &QComboBox::currentIndexChanged, this, &TrafficView::applyFilters);
    connect(m_functionFilter, &QComboBox::currentIndexChanged, this, &TrafficView::applyFilters);
    controls->addWidget(m_resultFilter);
    controls->addWidget(m_functionFilter);

    auto *pause = new QPushButton(tr("Pause"), body);
    pause->setObjectName(QStringLiteral("trafficPauseButton"));
    pause->setCheckable(true);
    connect(pause, &QPushButton::toggled, m_log, &TrafficLog::setPaused);
    auto *clear = new QPushButton(tr("Clear"), body);
    clear->setObjectName(QStringLiteral("trafficClearButton"));
    connect(clear, &QPushButton::clicked, m_log, &TrafficLog::clear);
    auto *save = new QPushButton(tr("Save As..."), body);
    save->setObjectName(QStringLiteral("trafficSaveButton"));
    connect(save, &QPushButton::clicked, this, &TrafficView::saveAs);
    controls->addStretch();
    controls->addWidget(pause);
    controls->addWidget(clear);
    controls->addWidget(save);
    layout->addLayout(controls);

    m_byResult->setSourceModel(m_log);
    m_byFunction->setSourceModel(m_byResult);
    m_table = new QTableView(body);
    m_table->setObjectName(QStringLiteral("trafficTable"));
    m_table->setModel(m_byFunction);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows as they come in.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->resizeSection(TrafficLog::FunctionColumn, 230);
    m_table->horizontalHeader()->resizeSection(TrafficLog::ValuesColumn, 240);
    m_table->horizontalHeader()->resizeSection(TrafficLog::ResultColumn, 120);
    m_table->horizontalHeader()->resizeSection(TrafficLog::NodeColumn, 50);
    // No heading cut off, in any language.
    QHeaderView *header = m_table->horizontalHeader();
    for (int column = 0; column < header->count(); ++column)
        header->resizeSection(column,
                              qMax(header->sectionSize(column), header->sectionSizeHint(column)));
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);
    setWidget(body);

    // New rows keep the view at the bottom unless the user scrolled up to read.
    // Whether the view was at the bottom is known only before the rows go in; the scroll
    // waits for the view to lay the new rows out.
    connect(m_byFunction, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = m_table->verticalScrollBar();
        m_followNewRows = bar->value() >= bar->maximum() - 1;
    });
    connect(m_byFunction, &QAbstractItemModel::rowsInserted, this, [this] {
        if (isVisible() && m_followNewRows)
            QTimer::singleShot(0, m_table, &QTableView::scrollToBottom);
    });
    connect(toggleViewAction(), &QAction::triggered, this,
            [](bool visible) { QSettings().setValue(visibleKey, visible); });
    hide();
}

void TrafficView::restoreVisibility()
{
    setVisible(QSettings().value(visibleKey, false).toBool());
}

void TrafficView::applyFilters()
{
    const auto pattern = [](const QComboBox *box) {
        const int value = box->currentData().toInt();
        return value < 0 ? QString() : QStringLiteral("^%1$").arg(value);
    };
    m_byResult->setFilterRegularExpression(pattern(m_resultFilter));
    m_byFunction->setFilterRegularExpression(pattern(m_functionFilter));
}

void TrafficView::saveAs()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save Traffic"), QString(), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    m_log->flush();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_log->writeCsv(file) || !file.commit()) {
        QMessageBox::critical(this, tr("Save Traffic"),
                              tr("Unable to save %1: %2.").arg(path, file.errorString()));
    }
}
