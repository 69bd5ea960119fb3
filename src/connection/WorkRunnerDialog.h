#pragma once

#include "db/DataAccess.h"

#include <QDialog>

#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of long database work: "Working..." with the rows fetched so far and
// a Cancel button that asks the work to stop once.
class WorkRunnerDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WorkRunnerDialog(const std::function<void()> &cancel, const std::atomic<qint64> *rowsFetched,
                              QWidget *parent = nullptr);
    ~WorkRunnerDialog() override;

    bool cancelRequested() const { return m_cancelling; }
    QString text() const;
    QPushButton *cancelButton() const { return m_cancelButton; }

    // Runs work on a worker thread while the UI thread waits in a local event loop with the
    // busy cursor and user input held back (handed on once the work has ended, unless this dialog
    // showed meanwhile and blocked it); after half a second this dialog shows. Its Cancel
    // runs cancel on a thread of its own. Returns when both have ended; the work's exception is
    // rethrown here. Off the UI thread, or without a QApplication, the work runs directly.
    static void run(QWidget *parent, const std::function<void()> &work, const std::function<void()> &cancel,
                    const std::atomic<qint64> *rowsFetched = nullptr);

    static constexpr int ShowDelayMs = 500;

protected:
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void requestCancel();
    void updateText();

    std::function<void()> m_cancel;
    const std::atomic<qint64> *m_rowsFetched;
    bool m_cancelling = false;
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

// The work runner the program installs on its connection (Connection::setWorkRunner), showing
// the rows fetched from rowsFetched (Connection::rowsFetchedCounter) when given.
WorkRunner makeDialogWorkRunner(QWidget *parent, const std::atomic<qint64> *rowsFetched = nullptr);
