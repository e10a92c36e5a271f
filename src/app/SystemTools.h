#pragma once
// What the Help menu asks of the operating system: opening a document in the
// program the desktop associates with it, and finding and starting a
// system-information tool. Each is a function the tests replace.
#include <QString>
#include <functional>
#include <optional>

enum class KeyRoot { LocalMachine, CurrentUser };

struct SystemTools
{
    // A text value of the registry (Windows); nothing where there is none.
    std::function<std::optional<QString>(KeyRoot root, const QString &keyName, const QString &valueName)>
        readRegistry;
    std::function<bool(const QString &path)> fileExists;
    // The full path of a program found on the PATH, or empty.
    std::function<QString(const QString &name)> findExecutable;
    // Starts a program on its own; false when it could not be started.
    std::function<bool(const QString &program)> startProgram;
    // Opens a file with the desktop's program for it; false when nothing opened it.
    std::function<bool(const QString &path)> openDocument;
};

// The tools of this machine, unless a test has put its own in place.
SystemTools &systemTools();

// Reads the registry value `SubKeyRef` of `KeyName` under `KeyRoot` into
// `KeyVal`; false, with `KeyVal` empty, when the key or the value is missing.
bool GetKeyValue(KeyRoot KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal);

// Starts the system-information tool: on Windows the one the registry names,
// elsewhere the first of the usual ones found on the PATH. When none is found
// or it does not start, says "System Information Is Unavailable At This Time".
void StartSysInfo();

// Opens "manual de usuario.pdf" beside the executable; when it is missing or
// nothing can show it, nothing happens and nothing is said.
void OpenUserManual();
