#pragma once

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// A fresh home for one run of the real program: its own HOME and XDG folders, so every case
// starts from an empty settings file and history. The rest of the environment (display,
// session bus) comes from the harness.
class Sandbox
{
public:
    Sandbox()
    {
        for (const char *name : {"home", "config", "data", "runtime"}) {
            QDir(m_root.path()).mkpath(QString::fromLatin1(name));
            QFile::setPermissions(path(QString::fromLatin1(name)),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    QString path(const QString &name) const { return m_root.filePath(name); }
    QString historyFile() const { return path("data/Vigilmount/events.jsonl"); }
    QString settingsFile() const { return path("config/Vigilmount/Vigilmount.conf"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        return env;
    }

    // Writes settings before the program starts, as the user would have left them.
    void writeSettings(const QVariantMap &values) const
    {
        QDir().mkpath(path("config/Vigilmount"));
        QSettings store(settingsFile(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            store.setValue(it.key(), it.value());
        store.sync();
    }

    // The history on disk as (kind, detail) pairs, oldest first.
    QList<QPair<QString, QString>> history() const
    {
        QList<QPair<QString, QString>> records;
        QFile file(historyFile());
        if (!file.open(QIODevice::ReadOnly))
            return records;
        while (!file.atEnd()) {
            const QJsonObject record = QJsonDocument::fromJson(file.readLine()).object();
            records.append({record.value("kind").toString(), record.value("detail").toString()});
        }
        return records;
    }

    QStringList kinds() const
    {
        QStringList list;
        for (const auto &record : history())
            list << record.first;
        return list;
    }

    std::unique_ptr<QProcess> start(const QStringList &arguments) const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->setProgram(QStringLiteral(VIGILMOUNT_BINARY));
        process->setArguments(arguments);
        process->start();
        return process;
    }

private:
    QTemporaryDir m_root;
};
