#include "connection/Keyring.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

// libsecret's headers use "signals" as a name, which Qt defines as a keyword.
#undef signals
#include <libsecret/secret.h>

namespace {

const SecretSchema *schema()
{
    static const SecretSchema s = {"org.orvessa.Password",
                                   SECRET_SCHEMA_NONE,
                                   {
                                       {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                   },
                                   0,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    return &s;
}

// Runs one asynchronous libsecret call on GLib's default context, which Qt's event loop runs,
// for at most TimeoutMs; false when it did not finish in time (it is then cancelled).
struct Waiter
{
    QEventLoop loop;
    bool done = false;
    GCancellable *cancellable = g_cancellable_new();
    ~Waiter() { g_object_unref(cancellable); }

    bool wait()
    {
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(Keyring::TimeoutMs);
        if (!done)
            loop.exec();
        if (done)
            return true;
        g_cancellable_cancel(cancellable);
        // The cancelled call still reports back; wait for it so nothing refers to this object.
        while (!done)
            loop.exec();
        return false;
    }
    void finish()
    {
        done = true;
        loop.quit();
    }
};

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

Keyring::State Keyring::state()
{
    // The session's bus as the desktop announces it; never one started on demand (autolaunch),
    // which a session without a keyring would not have either.
    QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo(QFile::decodeName(runtime + "/bus")).exists())
            return State::NoBus;
        address = "unix:path=" + runtime + "/bus";
    }
    GError *error = nullptr;
    GDBusConnection *bus = g_dbus_connection_new_for_address_sync(
        address.constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return State::NoBus;
    }
    GVariant *reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        TimeoutMs, nullptr, &error);
    g_object_unref(bus);
    if (!reply) {
        g_clear_error(&error);
        return State::NoAnswer;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned ? State::Available : State::NoService;
}

std::optional<QString> Keyring::lookup(const QString &profile, const QString &kind)
{
    if (state() != State::Available)
        return std::nullopt;
    struct Lookup : Waiter
    {
        gchar *secret = nullptr;
    } call;
    const QByteArray p = utf8(profile), k = utf8(kind);
    secret_password_lookup(
        schema(), call.cancellable,
        [](GObject *, GAsyncResult *result, gpointer data) {
            auto *self = static_cast<Lookup *>(data);
            self->secret = secret_password_lookup_finish(result, nullptr);
            self->finish();
        },
        &call, "profile", p.constData(), "kind", k.constData(), nullptr);
    if (!call.wait() || !call.secret)
        return std::nullopt;
    const QString secret = QString::fromUtf8(call.secret);
    secret_password_free(call.secret);
    return secret;
}

bool Keyring::store(const QString &profile, const QString &kind, const QString &label, const QString &secret,
                    QString *error)
{
    if (state() != State::Available) {
        if (error)
            *error = QStringLiteral("No Secret Service runs in this session.");
        return false;
    }
    struct Store : Waiter
    {
        gboolean stored = FALSE;
        QString message;
    } call;
    const QByteArray p = utf8(profile), k = utf8(kind), l = utf8(label);
    QByteArray s = utf8(secret);
    secret_password_store(
        schema(), SECRET_COLLECTION_DEFAULT, l.constData(), s.constData(), call.cancellable,
        [](GObject *, GAsyncResult *result, gpointer data) {
            auto *self = static_cast<Store *>(data);
            GError *e = nullptr;
            self->stored = secret_password_store_finish(result, &e);
            if (e) {
                self->message = QString::fromUtf8(e->message);
                g_error_free(e);
            }
            self->finish();
        },
        &call, "profile", p.constData(), "kind", k.constData(), nullptr);
    s.fill('\0');
    const bool finished = call.wait();
    if (error)
        *error = finished ? call.message : QStringLiteral("The Secret Service did not answer in time.");
    return finished && call.stored;
}

void Keyring::remove(const QString &profile, const QString &kind)
{
    if (state() != State::Available)
        return;
    Waiter call;
    const QByteArray p = utf8(profile), k = utf8(kind);
    secret_password_clear(
        schema(), call.cancellable,
        [](GObject *, GAsyncResult *result, gpointer data) {
            secret_password_clear_finish(result, nullptr);
            static_cast<Waiter *>(data)->finish();
        },
        &call, "profile", p.constData(), "kind", k.constData(), nullptr);
    call.wait();
}
