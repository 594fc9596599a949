#pragma once

#include "ModbusExchange.h"
#include "TavrolixCoreExport.h"

#include <QAbstractTableModel>

#include <deque>

class QIODevice;
class QTimer;

// The last exchanges on the line, as a table: time, node, function, address and count,
// values, result, reply time. Holds at most capacity() of them, dropping the oldest, so a
// day of monitoring does not grow memory. Exchanges are taken in batches (every 200 ms),
// so a fast monitor costs one view update per batch, not one per exchange.
class TAVROLIX_CORE_EXPORT TrafficLog : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        TimeColumn,
        NodeColumn,
        FunctionColumn,
        RangeColumn,
        ValuesColumn,
        ResultColumn,
        ReplyColumn,
        ColumnCount
    };
    // The result (ModbusExchange::Result as int) and function code behind a row, for filters.
    enum Role { ResultRole = Qt::UserRole + 1, FunctionRole };

    static constexpr int DefaultCapacity = 10000;
    static constexpr int FlushIntervalMs = 200;

    explicit TrafficLog(QObject *parent = nullptr, int capacity = DefaultCapacity);

    int capacity() const { return m_capacity; }
    bool isPaused() const { return m_paused; }
    const ModbusExchange &exchange(int row) const { return m_rows.at(size_t(row)); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Every row shown, oldest first, as CSV with a header line. False on a write error.
    bool writeCsv(QIODevice &device) const;

public slots:
    // Queued for the next batch; dropped while paused.
    void add(const ModbusExchange &exchange);
    // Shows the queued exchanges now.
    void flush();
    void clear();
    void setPaused(bool paused);

private:
    std::deque<ModbusExchange> m_rows;
    QList<ModbusExchange> m_pending;
    QTimer *m_flushTimer = nullptr;
    int m_capacity = DefaultCapacity;
    bool m_paused = false;
};
