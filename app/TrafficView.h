#pragma once

#include <QDockWidget>

class QComboBox;
class QSortFilterProxyModel;
class QTableView;
class TrafficLog;

// The dock that shows the traffic log: a table with filters by result and by function,
// pause, clear and "Save As..." to CSV. Remembers whether the user left it open.
class TrafficView : public QDockWidget
{
    Q_OBJECT

public:
    // `log` is not owned.
    explicit TrafficView(TrafficLog *log, QWidget *parent = nullptr);

    // Shows the dock when the user left it open last time (hidden on first start).
    void restoreVisibility();

private:
    void saveAs();
    void applyFilters();

    TrafficLog *m_log = nullptr;
    QSortFilterProxyModel *m_byResult = nullptr;
    QSortFilterProxyModel *m_byFunction = nullptr;
    QComboBox *m_resultFilter = nullptr;
    QComboBox *m_functionFilter = nullptr;
    QTableView *m_table = nullptr;
    bool m_followNewRows = true; // the view shows the newest rows
};
