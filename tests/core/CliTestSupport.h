#pragma once
// kalvex-cli run as a separate process: its exit code and both streams.

#ifdef KALVEX_CLI_PATH

#include <QProcess>
#include <QStringList>

struct CliRun {
    int exitCode = -1;  // -1: not finished, or ended by a signal
    QByteArray out, err;
};

inline CliRun runCli(const QStringList& args, int timeoutMs = 600000)
{
    QProcess process;
    process.start(QStringLiteral(KALVEX_CLI_PATH), args);
    CliRun run;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
    }
    return run;
}

#endif
