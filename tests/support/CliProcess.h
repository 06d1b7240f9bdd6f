// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built tarnwick-cli (path from TARNWICK_CLI) in a program folder
// and a settings folder of the test's own, and collects what it printed.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct CliResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `program` with `args` as tarnwick-cli would be run.
inline CliResult RunCliProgram(const QString& program, const QStringList& args, const QString& home,
                               const QString& configHome, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    process.setProcessEnvironment(env);
    process.start(program, args);
    CliResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline CliResult RunCli(const QStringList& args, const QString& home, const QString& configHome,
                        int timeoutMs = 60000)
{
    return RunCliProgram(qEnvironmentVariable("TARNWICK_CLI"), args, home, configHome, timeoutMs);
}

// The same as the user `nobody`, through setpriv: for permission checks
// that root would pass whatever the modes. Only root can do this.
inline CliResult RunCliAsNobody(const QStringList& args, const QString& home,
                                const QString& configHome, int timeoutMs = 60000)
{
    return RunCliProgram(
        QStringLiteral("setpriv"),
        QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                    QStringLiteral("--clear-groups"), qEnvironmentVariable("TARNWICK_CLI")} +
            args,
        home, configHome, timeoutMs);
}
