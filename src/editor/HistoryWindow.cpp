#include "editor/HistoryWindow.h"

#include "editor/HistoryModel.h"
#include "editor/QueryHistory.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/WorkbenchTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

HistoryWindow::HistoryWindow(QueryHistory *history, QWidget *parent)
    : QDialog(parent), m_history(history), m_model(new HistoryModel(history, this))
{
    setSizeGripEnabled(true);
    resize(760, 420);
    auto *layout = new QVBoxLayout(this);
    auto *filterRow = new QHBoxLayout;
    m_filterLabel = new QLabel;
    m_filter = new QLineEdit;
    m_filter->setClearButtonEnabled(true);
    m_filterLabel->setBuddy(m_filter);
    filterRow->addWidget(m_filterLabel);
    filterRow->addWidget(m_filter, 1);
    layout->addLayout(filterRow);

    m_table = new QTableView;
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setTabKeyNavigation(false);
    layout->addWidget(m_table, 1);

    auto *buttons = new QHBoxLayout;
    m_use = new QPushButton;
    m_delete = new QPushButton;
    m_clear = new QPushButton;
    m_close = new QPushButton;
    m_use->setDefault(true);
    buttons->addWidget(m_use);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    connect(m_filter, &QLineEdit::textChanged, m_model, &HistoryModel::setFilter);
    connect(m_table, &QTableView::doubleClicked, this, &HistoryWindow::use);
    connect(m_use, &QPushButton::clicked, this, &HistoryWindow::useSelected);
    connect(m_delete, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(m_clear, &QPushButton::clicked, this, &HistoryWindow::clearAll);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    // The newest entry stays selected as the list changes, so Return uses it at once.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->rowCount() > 0)
            m_table->selectRow(0);
    });
    setTexts(englishWorkbenchTexts());
    reload();
}

void HistoryWindow::setTexts(const WorkbenchTexts &texts)
{
    m_texts = &texts;
    setWindowTitle(texts.historyCaption);
    m_filterLabel->setText(texts.historyFilter);
    m_filter->setPlaceholderText(texts.historyFilterHint);
    m_filter->setAccessibleName(texts.historyFilterName);
    m_table->setAccessibleName(texts.historyTableName);
    m_use->setText(texts.historyUse);
    m_delete->setText(texts.historyDelete);
    m_clear->setText(texts.historyClear);
    m_close->setText(texts.historyClose);
    m_model->setTexts(texts);
}

void HistoryWindow::reload()
{
    m_model->reload();
    m_table->resizeColumnsToContents();
    // A long caption must not push the statements out of sight; the whole of it is the cell's tip.
    const int connection = m_table->fontMetrics().averageCharWidth() * 24;
    if (m_table->columnWidth(HistoryModel::Connection) > connection)
        m_table->setColumnWidth(HistoryModel::Connection, connection);
}

void HistoryWindow::useSelected()
{
    use(m_table->currentIndex());
}

void HistoryWindow::use(const QModelIndex &index)
{
    const int entry = index.isValid() ? m_model->entryIndex(index.row()) : -1;
    if (entry < 0)
        return;
    emit entryChosen(m_history->entries()[entry].sql);
}

void HistoryWindow::deleteSelected()
{
    QList<int> entries;
    for (const QModelIndex &row : m_table->selectionModel()->selectedRows())
        entries.append(m_model->entryIndex(row.row()));
    if (entries.isEmpty())
        return;
    QString error;
    const bool written = m_history->remove(entries, &error);
    reload();
    if (!written)
        writeFailed(error);
}

void HistoryWindow::clearAll()
{
    if (showMessageDialog(m_texts->historyClearQuestion, mtConfirmation, mbYes | mbNo, 0, this) != mrYes)
        return;
    QString error;
    const bool written = m_history->clear(&error);
    reload();
    if (!written)
        writeFailed(error);
}

void HistoryWindow::writeFailed(const QString &reason)
{
    prompt().beep();
    showMessageDialog(m_texts->historyFailedToWrite.arg(reason), mtError, mbOK, 0, this);
}
