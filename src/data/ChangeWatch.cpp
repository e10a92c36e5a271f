#include "data/ChangeWatch.h"
#include "data/PgSchema.h"
#include "data/Storage.h"

#include <QPointer>
#include <QSqlDriver>
#include <QTimer>

namespace {

// The provider's general failure number, as a failed statement reports it.
const qint64 kServerError = -2147467259;

class ChangeWatch : public QObject
{
public:
    ChangeWatch(const QSqlDatabase &db, QObject *context, std::function<bool()> onChange)
        : QObject(context), m_name(db.connectionName()), m_driver(db.driver()), m_onChange(std::move(onChange))
    {
        m_listens = db.driverName() == QLatin1String("QPSQL");
        if (m_listens)
            listen(db);
        else
            m_seen = StorageChangeToken(db).version;
        connect(&m_timer, &QTimer::timeout, this, &ChangeWatch::check);
        m_timer.start(kChangeCheckMs);
    }

    ~ChangeWatch() override
    {
        if (m_listens && m_driver && m_driver->isOpen())
            m_driver->unsubscribeFromNotification(QLatin1String(kPgChangeChannel));
    }

private:
    void listen(const QSqlDatabase &db)
    {
        try {
            EnsurePgChangeNotices(db);
        } catch (const RuntimeError &e) {
            throw RuntimeError(e.number(),
                               QStringLiteral("Esta base del servidor no avisa de lo que registran otros equipos, y "
                                              "el usuario de esta conexión no puede agregar ese aviso: puede hacerlo "
                                              "el dueño de las tablas (quien hizo tesorin --migrar) abriendo el "
                                              "programa una vez. Hasta entonces los saldos no siguen a los otros "
                                              "equipos. ")
                                   + e.description());
        }
        if (!m_driver->subscribeToNotification(QLatin1String(kPgChangeChannel)))
            throw RuntimeError(kServerError, QStringLiteral("No se pudo escuchar los avisos del servidor (%1).")
                                   .arg(m_driver->lastError().text()));
        connect(m_driver, &QSqlDriver::notification, this,
                [this](const QString &channel, QSqlDriver::NotificationSource source, const QVariant &) {
                    // Our own writes are told by whoever made them.
                    if (channel != QLatin1String(kPgChangeChannel) || source == QSqlDriver::SelfSource)
                        return;
                    m_pending = true;
                    check();
                });
    }

    // The connection this watch was made on, while it is still open.
    bool connectionAlive() const
    {
        if (!m_driver || !m_driver->isOpen() || !QSqlDatabase::contains(m_name))
            return false;
        return QSqlDatabase::database(m_name, false).driver() == m_driver;
    }

    void check()
    {
        if (m_running)
            return;
        if (!connectionAlive()) {
            m_timer.stop();
            deleteLater();
            return;
        }
        if (m_listens && !m_driver->subscribedToNotifications().contains(QLatin1String(kPgChangeChannel))) {
            // The connection was made again after the server lost it: listen
            // anew, and look, since whatever was written meanwhile went untold.
            const QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (StorageConnectionLost(db) || !m_driver->subscribeToNotification(QLatin1String(kPgChangeChannel)))
                return;
            m_pending = true;
        }
        if (!m_listens) {
            try {
                const qint64 version = StorageChangeToken(QSqlDatabase::database(m_name, false)).version;
                m_pending = m_pending || version != m_seen;
                m_seen = version;
            } catch (const RuntimeError &) {
                return; // a file busy this second is looked at again the next
            }
        }
        if (!m_pending)
            return;
        QPointer<ChangeWatch> self(this);
        m_running = true;
        const bool done = m_onChange();
        if (!self)
            return;
        m_running = false;
        m_pending = !done;
    }

    QString m_name;
    QPointer<QSqlDriver> m_driver;
    std::function<bool()> m_onChange;
    QTimer m_timer;
    bool m_listens = false;
    bool m_pending = false;
    bool m_running = false;
    qint64 m_seen = -1;
};

} // namespace

QObject *WatchChanges(const QSqlDatabase &db, QObject *context, std::function<bool()> onChange)
{
    return new ChangeWatch(db, context, std::move(onChange));
}
