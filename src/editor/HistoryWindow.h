#pragma once

#include <QDialog>

class HistoryModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QueryHistory;
struct WorkbenchTexts;

// The history of what ran, newest first, with a filter box. "Put into editor" (also Return or a
// double click on an entry) hands the chosen statement on; entries can be deleted, or all of
// them cleared after a question.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HistoryWindow(QueryHistory *history, QWidget *parent = nullptr);

    // Reads the history again (after a run).
    void reload();
    void setTexts(const WorkbenchTexts &texts);

    QLineEdit *filterField() const { return m_filter; }
    QTableView *table() const { return m_table; }
    HistoryModel *model() const { return m_model; }
    // Hands on the statement of the selected entry; nothing when none is selected.
    void useSelected();
    void deleteSelected();
    void clearAll();

signals:
    void entryChosen(const QString &sql);

private:
    void use(const QModelIndex &index);
    void writeFailed(const QString &reason);

    QueryHistory *m_history;
    HistoryModel *m_model;
    QLabel *m_filterLabel = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_use = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_close = nullptr;
    const WorkbenchTexts *m_texts = nullptr;
};
