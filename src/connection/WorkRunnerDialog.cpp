#include "connection/WorkRunnerDialog.h"

#include "shell/BusyCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <exception>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Holds back user input meant for anything but the progress dialog while the work runs, so that
// nothing starts a second piece of work on the same connection and no window closes under it,
// and hands it on once the work has ended: nothing the user does during short work is lost (the
// second click of a double-click whose first click started the work still arrives). Unlike
// disabling the main window this does not repaint anything, so short work does not flicker.
// Once the progress dialog shows, the rest of the program is blocked as by any modal dialog:
// input to it from then on is dropped.
class InputBlocker : public QObject
{
public:
    InputBlocker() : m_modalAtStart(QApplication::activeModalWidget()) { qApp->installEventFilter(this); }
    ~InputBlocker() override
    {
        qApp->removeEventFilter(this);
        if (m_held.empty())
            return;
        // Handed on once the caller is back in the event loop, as if it had come then, never
        // inside the command that ran the work. A window closed meanwhile gets nothing, and one
        // that a modal dialog opened since then blocks gets nothing either, as the window system
        // would have had it.
        auto held = std::make_shared<std::vector<Held>>(std::move(m_held));
        QTimer::singleShot(0, qApp, [held] {
            for (Held &h : *held) {
                if (h.receiver && !blockedByModal(h.receiver))
                    QCoreApplication::sendEvent(h.receiver, h.event.get());
            }
        });
    }

    void allow(QWidget *dialog)
    {
        m_dialog = dialog;
        m_dialogShown = true;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
            return holdBack(watched, event);
        case QEvent::Close:
            return event->spontaneous() && holdBack(watched, event);
        case QEvent::ShortcutOverride: // a question about a key, asked again when it is handed on
        case QEvent::TouchBegin:       // a touch sequence cannot be resumed half way
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter: // the dragged data is gone by the end of the work
        case QEvent::Drop:
            return !belongsToDialog(watched);
        default:
            return false;
        }
    }

private:
    struct Held
    {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };

    bool holdBack(QObject *watched, QEvent *event)
    {
        if (belongsToDialog(watched) || answersWork(watched))
            return false;
        if (!m_dialogShown)
            m_held.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

    static bool blockedByModal(QObject *receiver)
    {
        const QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return false;
        if (auto *widget = qobject_cast<QWidget *>(receiver))
            return widget->window() != modal;
        if (auto *window = qobject_cast<QWindow *>(receiver))
            return window != modal->windowHandle();
        return false;
    }

    // A question the work asks on its way (a password, an SSH host key) opens a modal dialog of
    // its own after the work began: that dialog gets its input.
    bool answersWork(QObject *watched) const
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_modalAtStart || modal == m_dialog)
            return false;
        if (auto *widget = qobject_cast<QWidget *>(watched))
            return widget->window() == modal;
        if (auto *window = qobject_cast<QWindow *>(watched))
            return window == modal->windowHandle();
        return false;
    }

    bool belongsToDialog(QObject *watched) const
    {
        if (!m_dialog)
            return false;
        if (auto *widget = qobject_cast<QWidget *>(watched))
            return widget == m_dialog || m_dialog->isAncestorOf(widget);
        if (auto *window = qobject_cast<QWindow *>(watched))
            return window == m_dialog->windowHandle();
        return false;
    }

    QPointer<QWidget> m_modalAtStart;
    QPointer<QWidget> m_dialog;
    bool m_dialogShown = false;
    std::vector<Held> m_held;
};

} // namespace

WorkRunnerDialog::WorkRunnerDialog(const std::function<void()> &cancel,
                                   const std::atomic<qint64> *rowsFetched, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_cancel(cancel)
    , m_rowsFetched(rowsFetched)
{
    setWindowTitle(QApplication::applicationName());
    setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setMinimumWidth(260);
    layout->addWidget(m_label);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 0); // no end known: a busy indicator
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setEnabled(bool(m_cancel));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);
    connect(m_cancelButton, &QPushButton::clicked, this, &WorkRunnerDialog::requestCancel);

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WorkRunnerDialog::updateText);
    timer->start(100);
    updateText();
}

WorkRunnerDialog::~WorkRunnerDialog() = default;

QString WorkRunnerDialog::text() const
{
    return m_label->text();
}

void WorkRunnerDialog::updateText()
{
    if (m_cancelling) {
        m_label->setText(tr("Cancelling..."));
        return;
    }
    const qint64 rows = m_rowsFetched ? m_rowsFetched->load(std::memory_order_relaxed) : 0;
    if (rows > 0)
        m_label->setText(tr("Working... %1 rows fetched").arg(QLocale().toString(rows)));
    else
        m_label->setText(tr("Working..."));
}

void WorkRunnerDialog::requestCancel()
{
    if (m_cancelling)
        return;
    m_cancelling = true;
    m_cancelButton->setEnabled(false);
    updateText();
    if (m_cancel)
        m_cancel();
}

void WorkRunnerDialog::reject()
{
    // Escape asks the work to stop; the dialog closes when the work has ended.
    requestCancel();
}

void WorkRunnerDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    requestCancel();
}

void WorkRunnerDialog::run(QWidget *parent, const std::function<void()> &work,
                           const std::function<void()> &cancel, const std::atomic<qint64> *rowsFetched)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()) ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        work();
        return;
    }

    BusyCursor cursor(Qt::BusyCursor);
    InputBlocker blocker;
    QEventLoop loop;
    std::exception_ptr error;
    std::atomic<bool> finished{false};
    const auto wake = [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); };

    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        finished.store(true);
        wake();
    });

    // Cancel may have to reach the server first (a connection of its own for KILL QUERY, the
    // PostgreSQL cancel request): it runs on a thread of its own so the window stays responsive.
    std::thread canceller;
    std::atomic<bool> cancelFinished{true};
    std::function<void()> cancelOffThread;
    if (cancel) {
        cancelOffThread = [&] {
            if (canceller.joinable())
                return;
            cancelFinished.store(false);
            canceller = std::thread([&] {
                try {
                    cancel();
                } catch (...) {
                    // A cancel that fails leaves the work to end by itself.
                }
                cancelFinished.store(true);
                wake();
            });
        };
    }

    std::unique_ptr<WorkRunnerDialog> dialog;
    QTimer showTimer;
    showTimer.setSingleShot(true);
    const QPointer<QWidget> modalAtStart = QApplication::activeModalWidget();
    QObject::connect(&showTimer, &QTimer::timeout, [&] {
        if (finished.load())
            return;
        // The work waits for the user's answer to a question of its own (a password, a host
        // key): no progress over that dialog until it is answered.
        if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != modalAtStart) {
            showTimer.start(ShowDelayMs);
            return;
        }
        dialog = std::make_unique<WorkRunnerDialog>(cancelOffThread, rowsFetched, parent);
        blocker.allow(dialog.get());
        dialog->show();
    });
    showTimer.start(ShowDelayMs);

    while (!finished.load() || !cancelFinished.load())
        loop.exec(QEventLoop::AllEvents);
    worker.join();
    if (canceller.joinable())
        canceller.join();
    showTimer.stop();
    if (dialog)
        dialog->hide();
    dialog.reset();

    if (error)
        std::rethrow_exception(error);
}

WorkRunner makeDialogWorkRunner(QWidget *parent, const std::atomic<qint64> *rowsFetched)
{
    QPointer<QWidget> guardedParent(parent);
    return
        [guardedParent, rowsFetched](const std::function<void()> &work, const std::function<void()> &cancel) {
            WorkRunnerDialog::run(guardedParent.data(), work, cancel, rowsFetched);
        };
}
