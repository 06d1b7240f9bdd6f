// SPDX-License-Identifier: GPL-3.0-or-later
// A private program folder for one test: the folder TARNWICK_HOME names,
// with Log/, Language/ and an empty Tarnwick.dat, and a private settings
// folder as XDG_CONFIG_HOME. Both variables point here while the fixture
// lives and are put back when it goes, so every test starts on nothing of
// another's.
#pragma once

#include "TestDir.h"

#include "store/TaskDatabase.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class ProgramFolderFixture
{
public:
    // `withDatabase` false leaves Tarnwick.dat out, for tests of what
    // happens without one.
    explicit ProgramFolderFixture(bool withDatabase = true)
        : m_oldHome(qgetenv("TARNWICK_HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")),
          m_hadHome(qEnvironmentVariableIsSet("TARNWICK_HOME")),
          m_hadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("TARNWICK_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        home.makeDir(QStringLiteral("Log"));
        home.makeDir(QStringLiteral("Language"));
        if (withDatabase)
            tarnwick::CreateTaskDatabase(databasePath());
    }
    ~ProgramFolderFixture()
    {
        restore("TARNWICK_HOME", m_hadHome, m_oldHome);
        restore("XDG_CONFIG_HOME", m_hadConfig, m_oldConfig);
    }
    ProgramFolderFixture(const ProgramFolderFixture&) = delete;
    ProgramFolderFixture& operator=(const ProgramFolderFixture&) = delete;

    QString databasePath() const { return home.filePath(QStringLiteral("Tarnwick.dat")); }
    QString logPath(const QString& name = QStringLiteral("Tarnwick.log")) const
    {
        return home.filePath(QStringLiteral("Log/") + name);
    }
    // The per-user registry file the settings are read from.
    QString registryPath() const { return config.filePath(QStringLiteral("Tarnwick/user.reg")); }

    TestDir home;   // the program folder
    TestDir config; // XDG_CONFIG_HOME

private:
    static void restore(const char* name, bool had, const QByteArray& value)
    {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }

    QByteArray m_oldHome;
    QByteArray m_oldConfig;
    bool m_hadHome;
    bool m_hadConfig;
};
