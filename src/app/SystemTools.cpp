#include "app/SystemTools.h"
#include "data/Environment.h"
#include "data/Prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {
std::optional<QString> readNativeRegistry(KeyRoot root, const QString &keyName, const QString &valueName)
{
#ifdef Q_OS_WIN
    const QString rootName =
        root == KeyRoot::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
    QSettings key(rootName + QLatin1Char('\\') + keyName, QSettings::NativeFormat);
    const QVariant v = key.value(valueName);
    if (v.isValid() && v.typeId() == QMetaType::QString)
        return v.toString();
#else
    Q_UNUSED(root)
    Q_UNUSED(keyName)
    Q_UNUSED(valueName)
#endif
    return std::nullopt;
}

SystemTools machineTools()
{
    SystemTools t;
    t.readRegistry = readNativeRegistry;
    t.fileExists = [](const QString &path) { return QFileInfo(path).isFile(); };
    t.findExecutable = [](const QString &name) { return QStandardPaths::findExecutable(name); };
    t.startProgram = [](const QString &program) { return QProcess::startDetached(program, {}); };
    t.openDocument = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    return t;
}

// The system-information programs of the usual Linux desktops, best first.
const char *const kLinuxTools[] = {"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor",
                                   "xfce4-taskmanager"};
} // namespace

SystemTools &systemTools()
{
    static SystemTools tools = machineTools();
    return tools;
}

bool GetKeyValue(KeyRoot KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal)
{
    const std::optional<QString> v = systemTools().readRegistry(KeyRoot, KeyName, SubKeyRef);
    // A text value keeps everything up to its terminating zero.
    KeyVal = v ? v->section(QChar(0), 0, 0) : QString();
    return v.has_value();
}

void StartSysInfo()
{
    SystemTools &t = systemTools();
    QString path;
    bool started = false;
    if (GetKeyValue(KeyRoot::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                    QStringLiteral("PATH"), path)) {
        started = t.startProgram(path);
    } else if (GetKeyValue(KeyRoot::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                           QStringLiteral("MSINFO"), path)) {
        const QString exe = path + QStringLiteral("\\MSINFO32.EXE");
        started = t.fileExists(exe) && t.startProgram(exe);
    } else {
        for (const char *name : kLinuxTools) {
            const QString exe = t.findExecutable(QString::fromLatin1(name));
            if (!exe.isEmpty()) {
                started = t.startProgram(exe);
                break;
            }
        }
    }
    if (!started)
        MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), MsgIcon::None, MsgButtons::OK);
}

void OpenUserManual()
{
    const QString path = QDir(env().appDir).filePath(QStringLiteral("manual de usuario.pdf"));
    // Whether a viewer opened it is not ours to report: the user sees it or not.
    if (systemTools().fileExists(path))
        systemTools().openDocument(path);
}
