#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// The command and options of one run of tavrolix-cli, checked.
class CliOptions
{
    Q_DECLARE_TR_FUNCTIONS(CliOptions)

public:
    enum class Command { Identify, Scan, Backup, Compare, Restore, Clone, Flash, Plugins };

    struct Setting
    {
        int baudRate = 9600;
        char parity = 'N';
    };

    Command command = Command::Plugins;
    QString port;
    Setting line;
    int node = 1;
    bool trace = false;
    bool json = false;
    QString file;
    QList<int> nodes; // scan, clone
    QList<int> baudRates; // scan
    QList<char> parities; // scan
    int allowanceMs = 0; // scan
    bool applySerial = false; // restore, clone
    bool save = true; // restore, clone
    bool verify = false; // flash
    Setting verifyLine;
    int verifyNode = 1;

    // False when the run ends here: with `output` the help or version text (exit code
    // 0), or the reason the arguments do not do (exit code 2).
    bool parse(const QStringList &arguments, QString *output, int *exitCode);

private:
    bool parseCommand(const QString &name);
    static QString usage();
};
