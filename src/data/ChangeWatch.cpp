#include "data/ChangeWatch.h"
#include "data/Database.h"
#include "data/PgSchema.h"
#include "data/Storage.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSqlDriver>
#include <QTimer>
#include <future>

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
    // (or lost by the server, which the driver also reports as not open).
    bool connectionAlive() const
    {
        if (!m_driver || !QSqlDatabase::contains(m_name))
            return false;
        const QSqlDatabase db = QSqlDatabase::database(m_name, false);
        return db.driver() == m_driver && (m_driver->isOpen() || StorageConnectionLost(db));
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
        if (m_listens && StorageConnectionLost(QSqlDatabase::database(m_name, false))) {
            followAgainWhenTheServerAnswers();
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

    // A program nobody is using would otherwise stop following once the
    // server restarted: whether the server answers is asked on a thread of
    // its own (an unreachable one takes seconds), and only then is the
    // connection made again here, which is quick with the server up.
    void followAgainWhenTheServerAnswers()
    {
        using namespace std::chrono_literals;
        if (!m_probe.valid()) {
            if (m_sinceProbe.isValid() && m_sinceProbe.elapsed() < kProbeEveryMs)
                return;
            m_sinceProbe.start();
            m_probe = std::async(std::launch::async, StorageServerProbe(QSqlDatabase::database(m_name, false)));
            return;
        }
        if (m_probe.wait_for(0s) != std::future_status::ready || !m_probe.get())
            return;
        ReconnectIfLost(m_name);
    }

    static constexpr qint64 kProbeEveryMs = 3000;
    QString m_name;
    QPointer<QSqlDriver> m_driver;
    std::future<bool> m_probe;
    QElapsedTimer m_sinceProbe;
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
